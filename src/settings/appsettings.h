// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/sessionoptions.h"

#include <QString>
#include <QStringList>
#include <QVariant>

class QSettings;

// The settings kept between runs. Read once at start-up, written once at exit.
struct AppSettings
{
    QString workDir;     // "WORKDIR": where save dialogs start
    QString portName;    // "PORT"
    QVariant baudRate;   // "BAUD": an integer
    QVariant canSpeed;   // "CANSPEED": carried along unchanged
    QVariant canId;      // "CANID": carried along unchanged
    QString fileName;    // "FILENAME": transmit list file, relative to the application's directory
    bool showTx = true;  // "TX": show transmitted frames in the log
    bool record = true;  // "RECORD": record every frame of a connection to WORKDIR
    int recordMb = 1024; // "RECORDMB": a recording goes on in a new file past this size
    QStringList dbcFiles{};      // "DBC": the DBC files loaded at start, in order
    bool timeSinceFirst = false; // "LOGTIME" "start": the log's times since its first row
    QStringList recentFiles{};   // "RECENT": captures and DBC files opened, the newest first
    // "SOURCE": what a connection reads, as SourceAddress writes it; empty: the module on PORT.
    QString source{};
    int bitrate = 0;         // "BITRATE": an adapter's bit rate, bit/s; 0 leaves it
    int dataBitrate = 0;     // "DATABITRATE": its CAN FD data phase; 0 not set
    bool listenOnly = false; // "LISTENONLY": an adapter never transmits

    // How many files "Недавние" keeps.
    static constexpr int RecentFileCount = 10;

    static AppSettings defaults();
    // `path` made the newest of `recent`, once, the oldest beyond the count dropped.
    static QStringList withRecent(QStringList recent, const QString &path);
    // WORKDIR when the settings name none.
    static QString defaultWorkDir(const QString &appDir);
};

// Reads every key with its default; a stored value of the wrong type falls back to the default.
AppSettings loadSettings(const QSettings &store);
void saveSettings(QSettings &store, const AppSettings &config);
// What a capture runs with these settings: the port, the recording and the DBC files.
SessionOptions sessionOptions(const AppSettings &config);

// `name` when it stays inside the application's directory (a plain name or one in a
// subdirectory), else the default name.
QString transmitListName(const QString &name);

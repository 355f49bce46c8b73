// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

// What the command line asks of the virtual module.
struct SimOptions
{
    enum class Outcome { Run, Help, Error };

    double rate = 0;        // frames per second; 0: the source's own timing
    bool rateMax = false;   // as fast as the line takes (--rate max, --fast)
    qint64 count = -1;      // stop streaming after this many frames; -1: no limit
    qint64 durationUs = -1; // stop streaming after this much streaming time; -1: no limit
    int ids = 40;
    quint32 seed = 1;
    bool alike = false; // every identifier sends the same kind of message
    QString replayPath;
    bool loop = false;
    bool monitoring = true;
    bool exitWhenDone = false;
    QString linkPath;
    QString hostLogPath;

    // Fills the options from the program's arguments. Help: `message` is the usage text.
    // Error: `message` says what is wrong.
    Outcome parse(const QStringList &arguments, QString &message);

private:
    bool readNumbers(const QCommandLineParser &parser, QString &message);
    bool readRate(const QCommandLineParser &parser, QString &message);
    bool readCount(const QCommandLineParser &parser, QString &message);
    bool readDuration(const QCommandLineParser &parser, QString &message);
    bool readIds(const QCommandLineParser &parser, QString &message);
    bool readSeed(const QCommandLineParser &parser, QString &message);
    bool checkCombination(const QCommandLineParser &parser, QString &message) const;
};

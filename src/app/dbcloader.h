// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "signals/signalset.h"

#include <QObject>
#include <functional>

class QAction;
class QWidget;

// "Загрузить DBC..." and "Забыть DBC": keeps the signal set the window decodes with. The files
// are read again from the list at start; what is missing or broken is said in the status bar,
// never in a dialog, so a moved file cannot block the start.
class DbcLoader final : public QObject
{
    Q_OBJECT

public:
    DbcLoader(QWidget *window, QAction *loadAction, QAction *forgetAction);

    const SignalSet &signalSet() const { return set; }
    SignalSet &editableSignalSet() { return set; }
    // Asked before the loaded database is replaced or forgotten; false keeps it.
    void setDiscardCheck(std::function<bool()> check) { mayDiscard = std::move(check); }
    // The database was changed by hand.
    void edited() { emit changed(); }
    // Reads exactly these files (the list from the settings, say).
    void load(const QStringList &paths);
    // Asks for files and adds them to those loaded.
    void ask();
    // Adds one file to those loaded (from the recent files, say).
    void open(const QString &path);
    void forget();

signals:
    void status(const QString &text);
    // The set was read again: pointers into the old one are gone.
    void changed();
    // The list to keep in the settings.
    void filesChanged(const QStringList &paths);
    // A file the user chose to load.
    void opened(const QString &path);

private:
    void add(const QStringList &chosen);

    QWidget *window;
    SignalSet set;
    QString lastDirectory;
    std::function<bool()> mayDiscard;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The virtual module as a child process: started with its options, it gives the port to open;
// stopped, it gives its summary line.
class SimProcess final
{
public:
    ~SimProcess();

    bool start(const QStringList &arguments);
    QString portName() const { return port; }
    // Ends the module (SIGTERM) and returns the summary line it printed, or an empty string.
    QString stop();
    // A number from the summary line, e.g. count(summary, "frames sent").
    static qint64 count(const QString &summary, const QString &what);

private:
    QProcess process;
    QString port;
};

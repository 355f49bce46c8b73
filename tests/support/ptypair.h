// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// A real pseudo-terminal pair in raw mode. The code under test opens `portName()` with
// QSerialPort; the test plays the module on the master side.
class PtyPair final
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return master >= 0; }
    QString portName() const { return slaveName; }

    // Writes every byte to the master side (the program reads them from the port).
    bool write(const QByteArray &bytes);
    // Reads what the program wrote to the port, waiting up to `timeoutMs` for `count` bytes while
    // serving the event loop.
    QByteArray read(int count, int timeoutMs = 2000);
    // Closes the master side: the port sees the device go away.
    void closeMaster();

private:
    int master = -1;
    int slave = -1; // kept open so the line does not hang up between test steps
    QString slaveName;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/sourceaddress.h"
#include "capture/triggerrule.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <QVector>

// What a capture session runs: the module's port, the recording and the socketcand server.
struct SessionOptions
{
    SourceAddress source; // the module on portName unless another is named
    QString portName;
    int baudRate = 115200;
    int canSpeed = -1; // the module's CAN speed code to set on connecting; -1 leaves it
    bool retry = true; // a module not there, or gone, is looked for every second
    bool record = true;
    QString directory;
    bool makeDirectory = true; // a missing `directory` is made; else it is a reason not to start
    qint64 rotateBytes = 1024LL * 1024 * 1024; // a recording goes on in a new file past this
    qint64 keepBytes = 0;                      // oldest recordings go past this; 0 keeps all
    bool serve = false;
    QHostAddress serverAddress = QHostAddress::LocalHost;
    quint16 serverPort = 29536;
    bool allowSend = false;
    int serverClients = 16;          // clients served at once
    int serverOpenTimeoutMs = 10000; // a client opens an interface within this, or is closed
    QVector<TriggerRule> triggers;   // their files go to `directory` too
    QStringList dbcFiles;            // where signal triggers find their signals
};

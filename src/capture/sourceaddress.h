// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class CanSource;
class QObject;

// Which source a capture reads: the Tarvix module on a serial port (the default), any Qt Serial
// Bus device (SocketCAN, PEAK, SYS TEC, TinyCAN, virtualcan) or a socketcand server. Written as
// text for the command line and the settings: "socketcan:can0", "virtualcan:can0" (any plugin
// name, then the interface), "socketcand:HOST:PORT:can0"; the module has no text.
struct SourceAddress
{
    enum class Kind { Tarvix, CanBus, Socketcand };
    static constexpr quint16 SocketcandPort = 29536;

    Kind kind = Kind::Tarvix;
    QString plugin;        // CanBus: "socketcan", "virtualcan", "peakcan", ...
    QString interfaceName; // CanBus and Socketcand: "can0"
    QString host;          // Socketcand
    quint16 port = SocketcandPort;
    int bitrate = 0;     // CanBus, bit/s; 0 leaves the interface as it is
    int dataBitrate = 0; // CanBus, the CAN FD data phase; 0 not set
    bool listenOnly = false;

    // False, with `error` saying why, for a text that names no source.
    static bool parse(const QString &text, SourceAddress *address, QString *error);
    QString text() const;
    bool isModule() const { return kind == Kind::Tarvix; }

    // A new source as described, the module on `modulePort` at `baudRate` for Kind::Tarvix.
    CanSource *create(const QString &modulePort, int baudRate, QObject *parent) const;
};

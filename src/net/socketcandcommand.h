// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"

#include <QByteArray>

// One command of the socketcand text protocol, "< word args... >", as a client sends it.
struct SocketcandCommand
{
    enum class Kind {
        Open,      // "< open IFACE >": `interfaceName`
        RawMode,   // "< rawmode >"
        Send,      // "< send ID LEN B0 .. >": `packet`
        FdSend,    // "< fdsend ID FLAGS B0 .. >": `packet`, a CAN FD frame
        FdFrames,  // "< fdframes >": the client takes CAN FD frames too
        Echo,      // "< echo >"
        Malformed, // not understood: `error` says why
    };

    Kind kind = Kind::Malformed;
    QByteArray interfaceName;
    CanPacket packet;
    QByteArray error;
};

// Cuts a client's byte stream into commands. Works on bytes alone, so it is tested and fuzzed
// without a socket. Anything outside "< ... >" other than white space, and a command longer than
// MaxCommandSize, breaks the stream: the connection cannot be trusted to be in step any more.
class SocketcandParser final
{
public:
    static constexpr int MaxCommandSize = 256;

    void append(const char *data, int size);
    void append(const QByteArray &bytes) { append(bytes.constData(), bytes.size()); }
    // The next whole command; false when none is complete yet or the stream is broken.
    bool next(SocketcandCommand &command);
    bool isBroken() const { return broken; }

    // Parses the text between "<" and ">".
    static SocketcandCommand parse(const QByteArray &body);

private:
    QByteArray buffer;
    int pos = 0;
    bool broken = false;
};

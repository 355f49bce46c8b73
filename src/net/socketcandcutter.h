// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

// Cuts what a socketcand server sends into its messages, "< ... >", on bytes alone: tested and
// fuzzed without a socket. A client has to take what comes, so nothing breaks the stream: bytes
// outside a message are skipped, a message cut short by a new "<" is skipped, and one longer than
// MaxMessageSize is skipped up to the next "<". The buffer never holds more than one read beyond
// MaxMessageSize.
class SocketcandCutter final
{
public:
    static constexpr int MaxMessageSize = 512;

    void append(const char *data, int size);
    void append(const QByteArray &bytes) { append(bytes.constData(), bytes.size()); }
    // The text of the next whole message, between "<" and ">", as [*begin, *end); valid until the
    // next call of either function. False when no whole message is waiting.
    bool next(const char **begin, const char **end);
    // Forgets what is buffered (a new connection); the counts stay.
    void clear();

    // Bytes skipped so far, white space aside, and messages among them dropped for their length.
    quint64 skippedBytes() const { return skipped; }
    quint64 overlongMessages() const { return overlong; }
    int pendingSize() const { return buffer.size() - pos; }

private:
    void skip(int to);
    void compact();

    QByteArray buffer;
    int pos = 0; // first byte not yet looked at
    quint64 skipped = 0;
    quint64 overlong = 0;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzzcheck.h"
#include "link/timedpacket.h"
#include "net/socketcandcutter.h"
#include "net/socketcandsource.h"

#include <QByteArrayList>
#include <algorithm>

namespace {

// Every message, and the frames among them, checked as they come.
QByteArrayList drain(SocketcandCutter &cutter, int piece)
{
    QByteArrayList found;
    const char *begin = nullptr;
    const char *end = nullptr;
    const CanPacket blank = CanSource::interfacePacket(QStringLiteral("can1"));
    while (cutter.next(&begin, &end)) {
        FUZZ_CHECK(end - begin <= SocketcandCutter::MaxMessageSize - 2);
        FUZZ_CHECK(std::find(begin, end, '>') == end && std::find(begin, end, '<') == end);
        TimedPacket frame;
        if (SocketcandSource::parseFrame(begin, end, blank, &frame) ==
            SocketcandSource::Message::Frame) {
            const CanPacket &p = frame.packet;
            FUZZ_CHECK(p.id <= 0x1FFFFFFF && (p.isExtended() || p.id <= 0x7FF));
            FUZZ_CHECK(p.isFd() ? p.dataLength() <= CanPacket::MaxFdBytes && !p.isRemote()
                                : p.length() <= CanPacket::MaxClassicBytes);
            const uint8_t flags =
                p.isFd() ? CanPacket::Extended | CanPacket::FdFlags : CanPacket::Extended;
            FUZZ_CHECK((p.frame & ~flags) == blank.frame);
        }
        found.append(QByteArray(begin, int(end - begin)));
    }
    FUZZ_CHECK(cutter.pendingSize() < SocketcandCutter::MaxMessageSize + std::max(piece, 1));
    return found;
}

} // namespace

// Input: one byte, its low six bits the size of the pieces the rest arrives in (0: all at once),
// then what a server sends. However the stream is cut, the same messages come out, none longer
// than the bound, and the buffer stays within it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int piece = data[0] & 0x3F;
    const char *stream = reinterpret_cast<const char *>(data + 1);
    const int streamSize = int(size - 1);
    SocketcandCutter whole;
    whole.append(stream, streamSize);
    const QByteArrayList expected = drain(whole, streamSize);
    SocketcandCutter pieces;
    QByteArrayList found;
    for (int fed = 0; fed < streamSize;) {
        const int length = piece ? std::min(piece, streamSize - fed) : streamSize;
        pieces.append(stream + fed, length);
        fed += length;
        found += drain(pieces, length);
    }
    FUZZ_CHECK(found == expected);
    FUZZ_CHECK(pieces.skippedBytes() == whole.skippedBytes());
    FUZZ_CHECK(pieces.pendingSize() == whole.pendingSize());
    FUZZ_CHECK(pieces.overlongMessages() == whole.overlongMessages());
    return 0;
}

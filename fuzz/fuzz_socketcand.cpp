// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzzcheck.h"
#include "net/socketcandcommand.h"

#include <algorithm>

// Input: one byte, its low six bits the size of the pieces the rest arrives in (0: all at once),
// then a client's byte stream. Whatever comes, the parser gives well-formed commands or breaks,
// and a broken stream gives nothing more.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int piece = data[0] & 0x3F;
    const char *stream = reinterpret_cast<const char *>(data + 1);
    const int streamSize = int(size - 1);
    SocketcandParser parser;
    SocketcandCommand command;
    int commands = 0;
    for (int fed = 0; fed < streamSize;) {
        const int length = piece ? std::min(piece, streamSize - fed) : streamSize;
        const bool wasBroken = parser.isBroken();
        parser.append(stream + fed, length);
        fed += length;
        while (parser.next(command)) {
            FUZZ_CHECK(!wasBroken);
            ++commands;
            if (command.kind == SocketcandCommand::Kind::Send) {
                FUZZ_CHECK(command.packet.length() <= 8 && !command.packet.isRemote());
                FUZZ_CHECK(command.packet.id <= 0x1FFFFFFF);
                FUZZ_CHECK(command.packet.isExtended() || command.packet.id <= 0x7FF);
            }
            if (command.kind == SocketcandCommand::Kind::FdSend) {
                FUZZ_CHECK(command.packet.isFd() && !command.packet.isRemote());
                FUZZ_CHECK(command.packet.dataLength() <= CanPacket::MaxFdBytes);
                FUZZ_CHECK(command.packet.id <= 0x1FFFFFFF);
                FUZZ_CHECK(command.packet.isExtended() || command.packet.id <= 0x7FF);
            }
            if (command.kind == SocketcandCommand::Kind::Malformed)
                FUZZ_CHECK(!command.error.isEmpty());
        }
    }
    // Every command takes at least "<>".
    FUZZ_CHECK(commands * 2 <= streamSize);
    return 0;
}

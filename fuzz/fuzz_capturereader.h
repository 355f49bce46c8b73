// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/capturereader.h"
#include "fuzzcheck.h"
#include "link/timedpacket.h"
#include "support/steppeddevice.h"

#include <QByteArray>
#include <QIODevice>
#include <algorithm>
#include <memory>

// The shared body of the capture reader targets. The first input byte sets how many bytes the
// device hands out per read, so buffer seams fall everywhere; the rest is the file.
namespace FuzzCaptureReader {

// `maxLength` bounds a classic frame's length code; a CAN FD frame has none of its own (its
// code says 0..64 bytes), no remote form, and is the only one with FD flags.
inline void checkFrame(const TimedPacket &f, int maxLength)
{
    constexpr uint8_t Known =
        CanPacket::Extended | CanPacket::Can0ToCan1 | CanPacket::Can1ToCan0 | CanPacket::FdFlags;
    const CanPacket &p = f.packet;
    if (p.isFd())
        FUZZ_CHECK((p.rtl & 0xF0) == 0);
    else
        FUZZ_CHECK(p.length() <= maxLength && (p.frame & CanPacket::FdFlags) == 0);
    FUZZ_CHECK((p.rtl & 0xF0) == 0 || (p.rtl & 0xF0) == 0x10);
    FUZZ_CHECK((p.frame & ~Known) == 0);
    FUZZ_CHECK(p.id <= (p.isExtended() ? 0x1FFFFFFFu : 0x7FFu));
    FUZZ_CHECK(p.direct == CanPacket::Received || p.direct == CanPacket::Transmitted);
    FUZZ_CHECK(p.delay == 1);
    const int carried = p.isRemote() ? 0 : p.dataLength();
    for (int i = carried; i < CanPacket::MaxFdBytes; ++i)
        FUZZ_CHECK(p.data[i] == 0);
}

// Damaged places lie in the input, in file order, each counted as skipped.
inline void checkDamage(const CaptureReader &reader, qint64 inputSize)
{
    const QVector<CaptureDamage> &damage = reader.damage();
    FUZZ_CHECK(quint64(damage.size()) <= reader.damageCount());
    FUZZ_CHECK(damage.size() <= CaptureReader::MaxDamageNotes);
    FUZZ_CHECK(reader.damageCount() <= reader.skipped());
    qint64 end = 0;
    quint64 line = 0;
    for (const CaptureDamage &d : damage) {
        FUZZ_CHECK(d.offset >= 0 && d.length >= 0 && d.offset + d.length <= inputSize);
        FUZZ_CHECK(d.offset >= end && !d.what.isEmpty());
        FUZZ_CHECK(d.line == 0 || (d.line > line && d.lines > 0));
        end = d.offset + d.length;
        line = d.line + d.lines;
    }
}

// Reads the whole input with the reader `make` builds; lengths above `maxLength` are faults.
template<typename Make> int run(const uint8_t *bytes, size_t size, Make make, int maxLength = 8)
{
    if (size == 0)
        return 0;
    const int step = 1 + bytes[0] % 64 * 97;
    const QByteArray input(reinterpret_cast<const char *>(bytes) + 1, int(size - 1));
    SteppedDevice device(input, step);
    const std::unique_ptr<CaptureReader> reader = make(&device);
    qint64 consumed = 0;
    qint64 frames = 0;
    for (TimedPacket f; reader->next(f); ++frames) {
        checkFrame(f, maxLength);
        FUZZ_CHECK(reader->bytesConsumed() >= consumed);
        consumed = reader->bytesConsumed();
    }
    FUZZ_CHECK(reader->bytesConsumed() >= consumed && reader->bytesConsumed() <= input.size());
    FUZZ_CHECK(frames <= input.size());
    checkDamage(*reader, input.size());
    TimedPacket after;
    FUZZ_CHECK(!reader->next(after)); // the end stays the end
    return 0;
}

} // namespace FuzzCaptureReader

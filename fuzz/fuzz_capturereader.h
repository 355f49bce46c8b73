// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/capturereader.h"
#include "fuzzcheck.h"
#include "link/timedpacket.h"

#include <QByteArray>
#include <QIODevice>
#include <algorithm>
#include <memory>

// The shared body of the capture reader targets. The first input byte sets how many bytes the
// device hands out per read, so buffer seams fall everywhere; the rest is the file.
namespace FuzzCaptureReader {

// A read-only device over a byte array that gives at most `step` bytes a read.
class SteppedDevice final : public QIODevice
{
public:
    SteppedDevice(const QByteArray &bytes, int step) : data(bytes), step(step) {}

protected:
    qint64 readData(char *out, qint64 maxSize) override
    {
        const qint64 n = std::min<qint64>({maxSize, step, qint64(data.size()) - pos});
        std::copy(data.constData() + pos, data.constData() + pos + n, out);
        pos += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }
    bool isSequential() const override { return true; }

private:
    QByteArray data;
    qint64 step;
    qint64 pos = 0;
};

inline void checkFrame(const TimedPacket &f, int maxLength)
{
    constexpr uint8_t Known = CanPacket::Extended | CanPacket::Can0ToCan1 | CanPacket::Can1ToCan0;
    const CanPacket &p = f.packet;
    FUZZ_CHECK(p.length() <= maxLength);
    FUZZ_CHECK((p.rtl & 0xF0) == 0 || (p.rtl & 0xF0) == 0x10);
    FUZZ_CHECK((p.frame & ~Known) == 0);
    FUZZ_CHECK(p.id <= (p.isExtended() ? 0x1FFFFFFFu : 0x7FFu));
    FUZZ_CHECK(p.direct == CanPacket::Received || p.direct == CanPacket::Transmitted);
    FUZZ_CHECK(p.delay == 1);
    const int carried = p.isRemote() ? 0 : std::min(p.length(), 8);
    for (int i = carried; i < 8; ++i)
        FUZZ_CHECK(p.data[i] == 0);
}

// Reads the whole input with the reader `make` builds; lengths above `maxLength` are faults.
template<typename Make> int run(const uint8_t *bytes, size_t size, Make make, int maxLength = 8)
{
    if (size == 0)
        return 0;
    const int step = 1 + bytes[0] % 64 * 97;
    const QByteArray input(reinterpret_cast<const char *>(bytes) + 1, int(size - 1));
    SteppedDevice device(input, step);
    device.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
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
    TimedPacket after;
    FUZZ_CHECK(!reader->next(after)); // the end stays the end
    return 0;
}

} // namespace FuzzCaptureReader

// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/framebits.h"

#include "link/canpacket.h"

#include <array>
#include <cstdint>

namespace {

constexpr int BaseIdBits = 11;
constexpr int ExtensionBits = 18;
constexpr int DlcBits = 4;
constexpr int CrcBits = 15;
constexpr quint16 CrcPolynomial = 0x4599;
constexpr quint16 CrcMask = 0x7FFF;
constexpr int StandardHeaderBits = 1 + BaseIdBits + 1 + 1 + 1 + DlcBits;                     // 19
constexpr int ExtendedHeaderBits = 1 + BaseIdBits + 1 + 1 + ExtensionBits + 1 + 2 + DlcBits; // 39
constexpr int TrailerBits =
    1 + 1 + 1 + 7 + 3; // CRC delimiter, ACK, ACK delimiter, EOF, intermission
constexpr int StuffRun = 5;
constexpr int BufferBytes = 16; // 7 padding bits + 39 + 64 + 15 bits fit in 125 bits
constexpr int FdStandardHeaderBits = 1 + BaseIdBits + 1 + 1 + 1 + 1 + 1 + 1 + DlcBits; // 22
constexpr int FdExtendedHeaderBits =
    1 + BaseIdBits + 1 + 1 + ExtensionBits + 1 + 1 + 1 + 1 + 1 + DlcBits; // 41
constexpr int FdBufferBytes = 72;   // 41 + 64 * 8 bits fit in 553 bits
constexpr int FdStuffCountBits = 4; // three bits of the count, gray coded, and their parity
constexpr int FdEsiToDlcBits = 1 + DlcBits;

// CRC-15 of one byte fed into a cleared register, most significant bit first.
constexpr std::array<quint16, 256> makeCrcTable()
{
    std::array<quint16, 256> table{};
    for (int byte = 0; byte < 256; ++byte) {
        quint16 crc = quint16(byte << 7);
        for (int bit = 0; bit < 8; ++bit)
            crc = quint16(((crc & 0x4000) ? (crc << 1) ^ CrcPolynomial : crc << 1) & CrcMask);
        table[byte] = crc;
    }
    return table;
}
constexpr std::array<quint16, 256> crcTable = makeCrcTable();

// Stuffing state: value of the current run (0/1) * StuffRun + its length (0 only before SOF, as a
// run reaching five is ended by its stuff bit and the stuff bit starts a run of one). States from
// SkipBase on pass over padding bits in front of SOF: SkipBase + k skips k more bits.
constexpr int RunStates = 2 * StuffRun;
constexpr int SkipBase = RunStates - 1; // SkipBase + 0 is never used: state 0 starts the frame
constexpr int StuffStates = SkipBase + 8;

struct StuffState
{
    int state = 0;
    int stuffed = 0;

    constexpr void feed(int bit)
    {
        if (state >= RunStates) {
            state = (state == SkipBase + 1) ? 0 : state - 1;
            return;
        }
        const int value = state / StuffRun;
        int run = state % StuffRun;
        run = (run > 0 && bit == value) ? run + 1 : 1;
        if (run == StuffRun) {
            ++stuffed;
            state = (1 - bit) * StuffRun + 1;
        } else {
            state = bit * StuffRun + run;
        }
    }
};

// A table entry: stuff bits inserted (top three bits) and the state after (low five bits).
constexpr int EntryShift = 5;
constexpr quint8 EntryStateMask = (1 << EntryShift) - 1;

template<int Bits> constexpr std::array<std::array<quint8, 1 << Bits>, StuffStates> makeStuffTable()
{
    std::array<std::array<quint8, 1 << Bits>, StuffStates> table{};
    for (int state = 0; state < StuffStates; ++state) {
        for (int value = 0; value < (1 << Bits); ++value) {
            StuffState s{state, 0};
            for (int bit = Bits - 1; bit >= 0; --bit)
                s.feed((value >> bit) & 1);
            table[state][value] = quint8(s.stuffed << EntryShift | s.state);
        }
    }
    return table;
}
constexpr auto byteTable = makeStuffTable<8>();
constexpr auto bitTable = makeStuffTable<1>();

// Bits appended most significant first into bytes.
template<int BufferBytes> class BitString
{
public:
    void push(quint32 value, int bits)
    {
        acc = (acc << bits) | (value & ((quint64(1) << bits) - 1));
        accBits += bits;
        while (accBits >= 8) {
            accBits -= 8;
            bytes[size++] = quint8(acc >> accBits);
        }
    }
    void finish()
    {
        if (accBits > 0)
            bytes[size++] = quint8(acc << (8 - accBits));
        accBits = 0;
    }
    const quint8 *data() const { return bytes; }
    int byteCount() const { return size; }

private:
    quint8 bytes[BufferBytes] = {};
    int size = 0;
    quint64 acc = 0;
    int accBits = 0;
};

// The register starts cleared, so leading zero bits (the padding) leave the CRC unchanged.
quint16 crc15(const quint8 *bytes, int count)
{
    quint16 crc = 0;
    for (int i = 0; i < count; ++i)
        crc = quint16(((crc << 8) & CrcMask) ^ crcTable[((crc >> 7) ^ bytes[i]) & 0xFF]);
    return crc;
}

int bitAt(const quint8 *bytes, int index)
{
    return (bytes[index >> 3] >> (7 - (index & 7))) & 1;
}

// Stuff bits over bits [begin, end), begin < 8: a byte at a time, skipping the first `begin`
// bits, then bit by bit.
int stuffBits(const quint8 *bytes, int begin, int end)
{
    int state = begin == 0 ? 0 : SkipBase + begin;
    int stuffed = 0;
    int bit = 0;
    for (; bit + 8 <= end; bit += 8) {
        const quint8 entry = byteTable[state][bytes[bit >> 3]];
        stuffed += entry >> EntryShift;
        state = entry & EntryStateMask;
    }
    for (; bit < end; ++bit) {
        const quint8 entry = bitTable[state][bitAt(bytes, bit)];
        stuffed += entry >> EntryShift;
        state = entry & EntryStateMask;
    }
    return stuffed;
}

void pushArbitrationAndControl(BitString<BufferBytes> &bits, quint32 id, bool extended, bool remote,
                               int dlc)
{
    bits.push(0, 1); // SOF
    if (extended) {
        bits.push(id >> ExtensionBits, BaseIdBits);
        bits.push(0b11, 2); // SRR, IDE
        bits.push(id, ExtensionBits);
        bits.push(remote, 1);
        bits.push(0b00, 2); // r1, r0
    } else {
        bits.push(id, BaseIdBits);
        bits.push(remote, 1);
        bits.push(0b00, 2); // IDE, r0
    }
    bits.push(quint32(dlc), DlcBits);
}

int headerBits(bool extended)
{
    return extended ? ExtendedHeaderBits : StandardHeaderBits;
}

} // namespace

int FrameBits::count(const CanPacket &packet)
{
    if (packet.isFd())
        return countFd(packet.id, packet.isExtended(), packet.frame & CanPacket::BitRateSwitch,
                       packet.frame & CanPacket::ErrorState, packet.dataLength(), packet.data);
    return count(packet.id, packet.isExtended(), packet.isRemote(), packet.length(), packet.data);
}

int FrameBits::countFd(quint32 id, bool extended, bool brs, bool esi, int bytes, const quint8 *data,
                       int *dataPhase)
{
    const int code = CanPacket::fdCode(qBound(0, bytes, CanPacket::MaxFdBytes));
    bytes = CanPacket::fdLength(code);
    BitString<FdBufferBytes> bits;
    bits.push(0, 1); // SOF
    if (extended) {
        bits.push(id >> ExtensionBits, BaseIdBits);
        bits.push(0b11, 2); // SRR, IDE
        bits.push(id, ExtensionBits);
        bits.push(0, 1); // RRS
    } else {
        bits.push(id, BaseIdBits);
        bits.push(0b00, 2); // RRS, IDE
    }
    bits.push(0b10, 2); // FDF, res
    bits.push(brs, 1);
    const int beforeEsi = (extended ? FdExtendedHeaderBits : FdStandardHeaderBits) - FdEsiToDlcBits;
    bits.push(esi, 1);
    bits.push(quint32(code), DlcBits);
    for (int i = 0; i < bytes; ++i)
        bits.push(data[i], 8);
    bits.finish();
    const int stuffedPart = beforeEsi + FdEsiToDlcBits + 8 * bytes;
    // Five equal bits ending on the last data bit are followed by the first fixed stuff bit,
    // their complement, and by no stuff bit of their own.
    const int stuffed = stuffBits(bits.data(), 0, stuffedPart - 1);
    const int crc = bytes > 16 ? 21 : 17;
    const int fixed = (FdStuffCountBits + crc + 3) / 4;
    const int checked = FdStuffCountBits + crc + fixed;
    if (dataPhase)
        *dataPhase =
            brs ? stuffedPart - beforeEsi + stuffed - stuffBits(bits.data(), 0, beforeEsi) + checked
                : 0;
    return stuffedPart + stuffed + checked + TrailerBits;
}

int FrameBits::count(quint32 id, bool extended, bool remote, int dlc, const quint8 *data)
{
    dlc &= 0x0F;
    const int bytes = dataBytes(remote, dlc);
    const int crcCovered = headerBits(extended) + 8 * bytes;
    const int padding = -crcCovered & 7; // brings the CRC input to whole bytes
    BitString<BufferBytes> bits;
    bits.push(0, padding);
    pushArbitrationAndControl(bits, id, extended, remote, dlc);
    for (int i = 0; i < bytes; ++i)
        bits.push(data[i], 8);
    bits.push(crc15(bits.data(), bits.byteCount()), CrcBits);
    bits.finish();
    const int stuffed = stuffBits(bits.data(), padding, padding + crcCovered + CrcBits);
    return crcCovered + CrcBits + TrailerBits + stuffed;
}

int FrameBits::unstuffedCount(bool extended, bool remote, int dlc)
{
    return headerBits(extended) + 8 * dataBytes(remote, dlc & 0x0F) + CrcBits + TrailerBits;
}

int FrameBits::worstCaseCount(bool extended, bool remote, int dlc)
{
    const int stuffedRegion = headerBits(extended) + 8 * dataBytes(remote, dlc & 0x0F) + CrcBits;
    return unstuffedCount(extended, remote, dlc) + (stuffedRegion - 1) / (StuffRun - 1);
}

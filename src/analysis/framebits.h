// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

struct CanPacket;

// Exact length on the wire of a classic CAN 2.0 frame, in bits: from the start-of-frame bit to the
// end of the seven end-of-frame bits, plus the three bits of intermission before the next frame
// may start. Stuff bits are counted from the frame's actual bits, identifier, data and CRC
// included, so two frames of the same length may differ by a few bits.
//
// Bits sent, dominant = 0:
//   11-bit: SOF, id(11), RTR, IDE=0, r0=0, DLC(4), data, CRC(15)                    | 19 + 8n + 15
//   29-bit: SOF, base id(11), SRR=1, IDE=1, id ext(18), RTR, r1=0, r0=0, DLC(4), data, CRC(15)
//                                                                                   | 39 + 8n + 15
//   then CRC delimiter, ACK slot, ACK delimiter, EOF(7), intermission(3)            | 13, never
//   stuffed
// RTR is 0 for a data frame and 1 for a remote frame, which carries no data. The DLC is sent as
// given (9..15 included); a data frame with DLC 9..15 carries 8 bytes. A stuff bit follows every
// run of five equal bits from SOF to the last CRC bit, itself starting the next run; a run ending
// on the last CRC bit is stuffed too.
//
// A CAN FD frame (the ISO form, with the stuff count before its CRC):
//   11-bit: SOF, id(11), RRS=0, IDE=0, FDF=1, res=0, BRS, ESI, DLC(4), data             | 22 + 8n
//   29-bit: SOF, base id(11), SRR=1, IDE=1, id ext(18), RRS=0, FDF=1, res=0, BRS, ESI, DLC(4),
//           data                                                                        | 41 + 8n
//   stuffed as above up to the last data bit (five equal bits ending on it take the first fixed
//   stuff bit as theirs); then the stuff count (4) and the CRC, 17 bits
//   for up to 16 bytes and 21 above, with a fixed stuff bit before the count and after every
//   fourth bit from there (6 or 7), which makes that part of the same length for every frame;
//   then the same 13 bits as a classic frame.
class FrameBits final
{
public:
    static constexpr int MaxDataBytes = 8;

    // A classic frame or, with CanPacket::Fd set, a CAN FD frame.
    static int count(const CanPacket &packet);
    // A CAN FD data frame of `bytes` bytes (0..64, rounded up to an FD length). `dataPhase`, if
    // given, gets the bits that go at the data bit rate when BRS is set (from ESI to the last
    // CRC bit), 0 when it is not.
    static int countFd(quint32 id, bool extended, bool brs, bool esi, int bytes, const quint8 *data,
                       int *dataPhase = nullptr);
    // `data` is read for the bytes the frame carries only (none for a remote frame).
    static int count(quint32 id, bool extended, bool remote, int dlc, const quint8 *data);

    // Without stuff bits: 47 + 8n for an 11-bit identifier, 67 + 8n for a 29-bit one.
    static int unstuffedCount(bool extended, bool remote, int dlc);
    // The most bits any frame of this form can take: one stuff bit after the first five stuffed
    // bits and one after every four bits from there on.
    static int worstCaseCount(bool extended, bool remote, int dlc);

    static int dataBytes(bool remote, int dlc) { return remote ? 0 : qMin(dlc, MaxDataBytes); }
};

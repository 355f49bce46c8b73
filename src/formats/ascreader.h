// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/localclock.h"
#include "formats/textcapturereader.h"

class LineTokens;
struct CanPacket;

// Reads a Vector ASC log. Frame lines "time channel id[x] Rx|Tx d|r dlc bytes..." give classic
// frames, "time CANFD channel Rx|Tx id[x] [name] brs esi dlc length bytes... flags ..." CAN FD
// frames (or classic ones, when the flags lack the FD bit); error frames, statistics and events
// are skipped. Times count from the date of
// the first "Begin TriggerBlock" line, or from the "date" line when no block carries a date
// (python-can writes the file's creation time on the date line and the first frame's moment on
// the block); "timestamps relative" counts each from the frame before it. Channel 1 is CAN0,
// 2 is CAN1, others have no line.
class AscReader final : public TextCaptureReader
{
public:
    explicit AscReader(QIODevice *device);

protected:
    Line parseLine(const char *begin, const char *end, TimedPacket &frame) override;

private:
    Line parseKeywordLine(const LineTokens &tokens);
    Line parseRecord(const LineTokens &tokens, TimedPacket &frame);
    Line parseFrame(const LineTokens &tokens, CanPacket &packet);
    Line parseFdFrame(const LineTokens &tokens, CanPacket &packet);
    static Line classicOnFd(int dlc, int length, bool remote, CanPacket &packet);
    bool fdFieldsAt(const LineTokens &tokens, int i) const;
    bool parseId(const LineTokens &tokens, int i, CanPacket &packet) const;
    bool parseBytes(const LineTokens &tokens, int first, int count, uint8_t *data) const;
    bool parseNumber(const char *begin, const char *end, uint32_t &value, int maxHex) const;
    void setReference(const LineTokens &tokens, int first, bool fromBlock);

    LocalClock clock;
    qint64 reference = 0; // UTC moment the times count from
    qint64 previous = 0;  // time of the last frame, for relative timestamps
    bool decimal = false;
    bool relative = false;
    bool blockDated = false;
    bool framesSeen = false;
};

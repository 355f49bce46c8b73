// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/capturereader.h"

#include <QVector>
#include <memory>

struct CanPacket;

// Reads a pcapng capture (either byte order, any number of sections and interfaces, any time
// resolution and offset) or a classic pcap one (microsecond or nanosecond, either byte order).
// Frames, classic and CAN FD, are taken from SocketCAN interfaces (link type 227) and from the
// SocketCAN frames of Wireshark's exported PDUs (link type 252, what Wireshark makes of a candump
// log); packets of other link types, error and CAN XL frames are skipped and counted. An interface
// named "cantx" holds transmitted frames and "canrx" received ones without a line; otherwise a
// name ending in 0 is CAN0 and in 1 CAN1. The packet flags' direction, when given, decides
// received or transmitted. A damaged pcapng block costs only itself: reading goes on at the next
// block whose length checks out, and each such stretch is counted and noted. A cut file, or a
// damaged classic pcap, ends with the frames read so far and an error; memory stays bounded
// whatever the lengths in the file say.
class PcapngReader final : public CaptureReader
{
public:
    explicit PcapngReader(QIODevice *device);
    ~PcapngReader() override;

    bool next(TimedPacket &frame) override;

private:
    struct Interface
    {
        uint16_t linkType = 0;
        uint8_t resolution = 6;
        qint64 offsetUs = 0;
        uint8_t route = 0;
        bool transmitted = false;
    };
    struct Block
    {
        qint64 offset = 0; // in the file
        uint32_t type = 0;
        const char *at = nullptr; // the block from its type on
        int size = 0;             // bytes of it in the buffer, its trailer left out
        bool whole = false;       // false: only its start, the rest is skipped unread
    };
    enum class Kind { Unknown, Pcapng, Pcap };
    enum class Step { Frame, More, End };
    // What the block at the position is, by its header and trailer.
    enum class Verdict { Whole, Large, Broken, Cut };

    bool start();
    Step pcapngBlock(TimedPacket &frame);
    Verdict checkBlock(bool big, uint32_t &length, bool &blockBig);
    bool candidateBlock();
    bool mend(uint32_t &length, bool &big);
    uint32_t mendedLength(bool big);
    bool followedByBlock(int end, bool big);
    bool plausibleOther(const Block &block) const;
    Step dispatch(const Block &block, TimedPacket &frame);
    Step finishLarge(qint64 start, uint32_t length, TimedPacket &frame);
    bool resync(qint64 from, const QString &why);
    Step skipBroken(qint64 at, const char *why);
    void damaged(qint64 from, qint64 to, const QString &why);
    void sectionHeader(const Block &block);
    void interfaceDescription(const Block &block);
    bool packet(const Block &block, TimedPacket &frame);
    static bool decodeOn(const Interface &interface, const char *bytes, int size,
                         CanPacket &packet);
    Step pcapRecord(TimedPacket &frame);
    bool ensure(int count);
    bool skip(quint64 count);
    int available() const { return size - pos; }
    const char *at() const { return data.get() + pos; }
    void noCanFrames();
    void truncated(qint64 from);
    void corrupt();

    std::unique_ptr<char[]> data;
    int pos = 0;
    int size = 0;
    qint64 offset = 0; // file position of data[0]
    bool ended = false;
    Kind kind = Kind::Unknown;
    bool bigEndian = false;
    bool nanoseconds = false; // classic pcap
    uint16_t pcapLinkType = 0;
    QVector<Interface> interfaces;
    bool canInterface = false;
    bool sectionRead = false; // a section header read whole: its byte order is known
    quint64 frames = 0;
};

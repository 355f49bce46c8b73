// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/capturereader.h"

#include <memory>

struct CanPacket;

// Reads a Vector binary log: CAN_MESSAGE and CAN_MESSAGE2 objects, inside zlib-compressed or
// plain LOG_CONTAINER objects or on their own; every other object is skipped. Times are the file
// header's start (local time, to the millisecond) plus the object's timestamp (10 µs or 1 ns
// units). Channel 1 is CAN0, 2 is CAN1. Memory stays bounded whatever the sizes in the file say;
// a damaged or cut file ends with the frames read so far and an error.
class BlfReader final : public CaptureReader
{
public:
    explicit BlfReader(QIODevice *device);
    ~BlfReader() override;

    bool next(TimedPacket &frame) override;

private:
    struct Inflater;
    // A run of bytes being parsed: the file's, or the inflated contents of the containers.
    struct Bytes
    {
        explicit Bytes(int capacity) : data(new char[size_t(capacity)]), capacity(capacity) {}
        std::unique_ptr<char[]> data; // not cleared: only what was filled is looked at
        int capacity;
        int pos = 0;
        int size = 0;
        int available() const { return size - pos; }
        const char *at() const { return data.get() + pos; }
        char *end() { return data.get() + size; }
        void compact();
    };
    enum class Step { Frame, More, End };

    bool readFileHeader();
    bool ensure(int count);
    bool fillFile();
    bool skipFile(quint64 count);
    Step topLevelObject(TimedPacket &frame);
    Step startContainer(quint32 objectSize);
    void pumpContainer();
    bool pumpStored(int take);
    bool takeInner(TimedPacket &frame);
    static bool headerAtPosition(const Bytes &bytes);
    int objectStart(const Bytes &bytes, int padding, bool quiet = false);
    bool resync();
    bool decodeMessage(const char *object, quint32 size, TimedPacket &frame) const;
    void truncated();
    void corrupt();

    std::unique_ptr<Inflater> inflater;
    Bytes file;
    qint64 fileOffset = 0; // file position of file.data[0]
    bool fileEnded = false;
    Bytes inner;
    quint64 innerSkip = 0; // bytes of a skipped inner object still to come
    int innerPadding = 0;
    int topPadding = 0;
    quint64 containerLeft = 0; // bytes of the current container's payload not yet used
    bool inContainer = false;
    bool compressed = false;
    bool headerRead = false;
    qint64 start = 0; // UTC moment of the file header's start time
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/capturereader.h"

#include <memory>

struct CanPacket;

// Reads a Vector binary log: CAN_MESSAGE, CAN_MESSAGE2, CAN_FD_MESSAGE and CAN_FD_MESSAGE_64
// objects (classic frames, and CAN FD ones with their bit-rate-switch and error-state flags),
// inside zlib-compressed or plain LOG_CONTAINER objects or on their own; every other object, and a
// transmit request, is skipped. Times are the file header's start (local time, to the
// millisecond) plus the object's timestamp (10 µs or 1 ns units). Channel 1 is CAN0, 2 is CAN1.
// Memory stays bounded whatever the sizes in the file say. Damage costs only itself: a container
// whose compressed stream does not check out is dropped whole, a damaged object on its own, and
// reading goes on at the next object signature; each such stretch is counted and noted. A cut
// file ends with the frames read so far and an error.
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
    qint64 filePosition() const { return fileOffset + file.pos; }
    Step topLevelObject(TimedPacket &frame);
    Step topLevelBody(quint32 type, quint32 size, TimedPacket &frame);
    Step skipBroken(const char *why, int past);
    Step topLevelMessage(quint32 size, TimedPacket &frame);
    bool beyondEnd(quint32 size) const;
    Step startContainer(quint32 objectSize);
    void pumpContainer();
    void pumpCompressed(int take);
    void pumpStored(int take);
    void afterStream();
    void commitStaged();
    void damagedContainer(const QString &why);
    bool takeInner(TimedPacket &frame);
    bool findInnerObject();
    void damagedInner(const QString &why);
    void loseInner();
    static bool headerAtPosition(const Bytes &bytes);
    static bool plausibleObject(const char *header, int available, bool inContainer);
    static int objectStart(const Bytes &bytes, int padding);
    bool resync(qint64 from, const QString &why);
    void damaged(qint64 from, qint64 to, const QString &why);
    void finishInner();
    bool decodeMessage(const char *object, quint32 size, TimedPacket &frame);
    void truncated(qint64 from);

    std::unique_ptr<Inflater> inflater;
    Bytes file;
    qint64 fileOffset = 0; // file position of file.data[0]
    bool fileEnded = false;
    Bytes inner;
    int staged = 0;        // inflated bytes after inner.size not yet checked by zlib
    quint64 innerSkip = 0; // bytes of a skipped inner object still to come
    int innerPadding = 0;
    bool innerLost = false; // the inner stream broke off: look for the next object in it
    int topPadding = 0;
    quint64 containerLeft = 0; // bytes of the current container's payload not yet used
    quint32 declaredSize = 0;  // of its inflated payload, as its header says
    qint64 containerAt = 0;    // file position of the current or last container
    qint64 cutAt = -1;         // file position of a container the end of the file cut off
    bool inContainer = false;
    bool compressed = false;
    bool headerRead = false;
    qint64 start = 0; // UTC moment of the file header's start time
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>

class QIODevice;

// Cuts a device's bytes into lines without copying them: the input is read in big chunks and each
// line is handed out as a range into the chunk, valid until the next call. A line longer than a
// chunk is handed out cut at the chunk size and the rest of it dropped.
class LineSource final
{
public:
    static constexpr int DefaultChunkSize = 1 << 20;

    enum class Status { Line, End, Error };

    explicit LineSource(QIODevice *device, int chunkSize = DefaultChunkSize);

    // The next line without its "\n" (and without a "\r" before it).
    Status next(const char *&begin, const char *&end);
    // Bytes of the input up to the end of the last line handed out.
    qint64 consumed() const { return done; }
    QString errorString() const { return error; }

private:
    bool fill();
    Status cutLine(const char *&begin, const char *&end, int lineEnd, int next);

    QIODevice *device;
    std::unique_ptr<char[]> buffer; // not cleared: only what was read is looked at
    int capacity;
    int pos = 0;  // first byte not handed out
    int size = 0; // bytes held
    qint64 done = 0;
    bool atEnd = false;
    bool dropping = false; // inside the rest of an overlong line
    QString error;
};

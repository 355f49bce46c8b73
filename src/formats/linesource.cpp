// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/linesource.h"

#include <QIODevice>
#include <cstring>

LineSource::LineSource(QIODevice *input, int chunkSize)
    : device(input), buffer(new char[size_t(chunkSize)]), capacity(chunkSize)
{
}

LineSource::Status LineSource::next(const char *&begin, const char *&end)
{
    for (;;) {
        const char *base = buffer.get();
        const void *nl = std::memchr(base + pos, '\n', size_t(size - pos));
        if (nl != nullptr) {
            const int lineEnd = int(static_cast<const char *>(nl) - base);
            if (!dropping)
                return cutLine(begin, end, lineEnd, lineEnd + 1);
            dropping = false; // the tail of an overlong line ends here
            done += lineEnd + 1 - pos;
            pos = lineEnd + 1;
            continue;
        }
        if (dropping) {
            done += size - pos;
            pos = size;
        } else if (size - pos == capacity || (atEnd && pos < size)) {
            dropping = !atEnd; // a whole chunk without a line end: the rest is dropped
            return cutLine(begin, end, size, size);
        }
        if (atEnd)
            return error.isEmpty() ? Status::End : Status::Error;
        if (!fill())
            atEnd = true;
    }
}

LineSource::Status LineSource::cutLine(const char *&begin, const char *&end, int lineEnd, int next)
{
    begin = buffer.get() + pos;
    end = buffer.get() + lineEnd;
    if (end != begin && end[-1] == '\r')
        --end;
    done += next - pos;
    pos = next;
    return Status::Line;
}

bool LineSource::fill()
{
    if (pos > 0) {
        std::memmove(buffer.get(), buffer.get() + pos, size_t(size - pos));
        size -= pos;
        pos = 0;
    }
    const qint64 got = device->read(buffer.get() + size, qint64(capacity) - size);
    if (got < 0) {
        error = device->errorString();
        return false;
    }
    size += int(got);
    return got > 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "outputqueue.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

void OutputQueue::appendFrames(const QByteArray &records)
{
    dropWritten();
    buffer.append(records); // shares `records` when nothing else is waiting
    frameBytesQueued += records.size();
}

void OutputQueue::appendReply(const QByteArray &reply)
{
    dropWritten();
    const qint64 begin = streamPos + buffer.size();
    buffer.append(reply);
    replies.push_back({begin, begin + reply.size()});
}

OutputQueue::Flush OutputQueue::flush(int fd)
{
    while (!isEmpty()) {
        const ssize_t n = ::write(fd, buffer.constData() + offset, size_t(buffer.size() - offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK ? Flush::Blocked : Flush::Failed;
        account(streamPos + offset, streamPos + offset + n);
        offset += int(n);
    }
    dropWritten();
    return Flush::Done;
}

void OutputQueue::dropWritten()
{
    if (offset == 0 || offset < buffer.size() / 2)
        return; // not worth moving the rest yet
    streamPos += offset;
    if (offset == buffer.size())
        buffer.clear();
    else
        buffer.remove(0, offset);
    offset = 0;
}

void OutputQueue::account(qint64 begin, qint64 end)
{
    qint64 replyBytes = 0;
    for (const Range &reply : replies)
        replyBytes += std::max<qint64>(0, std::min(end, reply.end) - std::max(begin, reply.begin));
    while (!replies.empty() && replies.front().end <= end) {
        replies.pop_front();
        ++repliesWritten;
    }
    frameBytesWritten += (end - begin) - replyBytes;
}

void OutputQueue::clear()
{
    streamPos += buffer.size();
    buffer.clear();
    offset = 0;
    replies.clear();
    frameBytesWritten -= frameBytesWritten % RecordSize;
    frameBytesQueued = frameBytesWritten;
}

qint64 OutputQueue::framesQueued() const
{
    return (frameBytesQueued - frameBytesWritten + RecordSize - 1) / RecordSize;
}

int OutputQueue::takeRepliesWritten()
{
    const int count = repliesWritten;
    repliesWritten = 0;
    return count;
}

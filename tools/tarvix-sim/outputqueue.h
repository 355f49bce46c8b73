// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <deque>

// Bytes waiting for the line, in order: frame records and module replies. Keeps track of how much
// of each has been handed over, so that a frame counts as sent only once its last byte went out,
// and tells when a reply has gone out whole.
class OutputQueue final
{
public:
    enum class Flush { Done, Blocked, Failed };

    void appendFrames(const QByteArray &records);
    void appendReply(const QByteArray &reply);

    // Writes what is waiting to the non-blocking descriptor `fd` until it is empty or full.
    Flush flush(int fd);
    // Forgets everything not yet written, a half-written frame included.
    void clear();

    bool isEmpty() const { return offset == buffer.size(); }
    bool holdsReply() const { return !replies.empty(); }
    qint64 framesQueued() const;
    qint64 framesSent() const { return frameBytesWritten / RecordSize; }
    // Replies completely written since the last call.
    int takeRepliesWritten();

private:
    static constexpr qint64 RecordSize = 14;
    struct Range
    {
        qint64 begin, end; // stream positions
    };
    void account(qint64 begin, qint64 end);
    void dropWritten();

    QByteArray buffer;
    int offset = 0;       // first byte of `buffer` not yet written
    qint64 streamPos = 0; // stream position of buffer[0]
    qint64 frameBytesWritten = 0;
    qint64 frameBytesQueued = 0;
    std::deque<Range> replies; // replies not yet fully written
    int repliesWritten = 0;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/capturerecorder.h"

#include "capture/recordingfolder.h"
#include "formats/candumpwriter.h"
#include "link/timedpacket.h"
#include "log/diskwriter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

bool writeAll(int fd, const QByteArray &bytes, qint64 *written, int *code)
{
    const char *from = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t done = ::write(fd, from, size_t(left));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            *code = done < 0 ? errno : ENOSPC;
            return false;
        }
        from += done;
        left -= done;
        *written += done;
    }
    return true;
}

// A write that fails halfway (a full disk takes what fits) is cut back to its last whole line:
// every line left in the file stays readable. `kept` tells how many lines the file holds.
bool writeLines(int fd, const QByteArray &lines, int *code, int *kept)
{
    const off_t start = ::lseek(fd, 0, SEEK_CUR);
    qint64 written = 0;
    if (writeAll(fd, lines, &written, code))
        return true;
    qint64 whole = written > 0 ? lines.lastIndexOf('\n', int(written - 1)) + 1 : 0;
    if (start < 0 || ::ftruncate(fd, start + off_t(whole)) != 0)
        whole = written; // not cut back: a line may be left half written, and is not counted
    else
        ::lseek(fd, start + off_t(whole), SEEK_SET);
    *kept = int(std::count(lines.constData(), lines.constData() + whole, '\n'));
    return false;
}

} // namespace

// The open file and how writing it went, shared with the writer thread's tasks.
struct CaptureRecorder::Output
{
    void fail(const QString &why)
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!failed)
            reason = why;
        failed = true;
    }
    QString why() const
    {
        std::lock_guard<std::mutex> guard(lock);
        return reason;
    }

    std::atomic<bool> failed{false};
    std::atomic<quint64> unwritten{0}; // frames of lines handed over and not written
    mutable std::mutex lock;
    QString reason;
    QElapsedTimer sinceSync;
};

CaptureRecorder::CaptureRecorder(QObject *parent)
    : QObject(parent), writer(std::make_unique<DiskWriter>()), flushTimer(new QTimer(this))
{
    connect(flushTimer, &QTimer::timeout, this, [this] {
        flush();
        checkFailure();
    });
}

CaptureRecorder::~CaptureRecorder()
{
    stop();
}

QString CaptureRecorder::fileName(const QDateTime &connected, int part)
{
    QString name =
        QStringLiteral("quorvex-") + connected.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (part > 1)
        name += QLatin1Char('-') + QString::number(part);
    return name + QStringLiteral(".log");
}

bool CaptureRecorder::start(const QString &where, qint64 limit, const QDateTime &connected)
{
    stop();
    directory = where;
    connectedAt = connected;
    maxBytes = limit > 0 ? limit : DefaultMaxBytes;
    lastTime = 0;
    part = 1;
    failure.clear();
    if (output)
        unwrittenEarlier += output->unwritten;
    output = std::make_shared<Output>();
    output->sinceSync.start();
    pending.reserve(MaxPending + CandumpWriter::MaxLineSize);
    pendingFrames = 0;
    // A folder not made yet (the default one, say) is made; one that takes no file is said now.
    const QString problem = RecordingFolder::problem(where, true);
    if (!problem.isEmpty()) {
        fail(problem + QStringLiteral(": ") + where);
        return false;
    }
    recording = openPart();
    if (recording)
        flushTimer->start(FlushMs);
    return recording;
}

// The next free name: a reconnect within the same second must not overwrite the last recording.
bool CaptureRecorder::openPart()
{
    for (;; ++part) {
        path = QDir(directory).filePath(fileName(connectedAt, part));
        fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    0644);
        if (fd >= 0) {
            fileBytes = 0;
            return true;
        }
        if (errno != EEXIST) {
            fail(systemError(errno) + QStringLiteral(": ") + path);
            return false;
        }
    }
}

void CaptureRecorder::record(const TimedPacket &frame)
{
    if (!recording)
        return;
    TimedPacket line = frame;
    line.time = qMax(lastTime, frame.time == TimedPacket::NoTime ? lastTime : frame.time);
    lastTime = line.time; // a clock stepped back must not break the order within a file
    const int before = pending.size();
    CandumpWriter::appendLine(pending, line);
    ++pendingFrames;
    fileBytes += pending.size() - before;
    if (fileBytes >= maxBytes)
        rotate();
    else if (pending.size() >= MaxPending)
        flush();
}

void CaptureRecorder::flush()
{
    if (!recording || pending.isEmpty())
        return;
    std::shared_ptr<Output> target = output;
    const int to = fd;
    writer->post([target, to, frames = pendingFrames, bytes = std::move(pending)] {
        if (target->failed) {
            target->unwritten += quint64(frames);
            return;
        }
        int code = 0;
        int kept = 0;
        if (!writeLines(to, bytes, &code, &kept)) {
            target->unwritten += quint64(frames - kept);
            target->fail(systemError(code));
            return;
        }
        if (target->sinceSync.elapsed() >= SyncMs) {
            ::fdatasync(to); // a power cut then costs at most about a second
            target->sinceSync.restart();
        }
    });
    pending = QByteArray();
    pending.reserve(MaxPending + CandumpWriter::MaxLineSize);
    pendingFrames = 0;
}

void CaptureRecorder::closeFile()
{
    flush();
    const int to = fd;
    fd = -1;
    writer->post([to] {
        ::fdatasync(to);
        ::close(to);
    });
}

void CaptureRecorder::rotate()
{
    closeFile();
    ++part;
    recording = openPart();
    if (!recording)
        flushTimer->stop();
}

void CaptureRecorder::stop()
{
    if (fd >= 0)
        closeFile();
    writer->waitIdle();
    checkFailure();
    recording = false;
    flushTimer->stop();
}

void CaptureRecorder::checkFailure()
{
    if (output && output->failed && failure.isEmpty())
        fail(output->why());
}

quint64 CaptureRecorder::unwrittenFrames() const
{
    return unwrittenHere + unwrittenEarlier + (output ? quint64(output->unwritten) : 0);
}

void CaptureRecorder::fail(const QString &reason)
{
    failure = reason;
    recording = false;
    unwrittenHere += quint64(pendingFrames);
    pendingFrames = 0;
    pending.clear();
    flushTimer->stop();
    emit failed(reason);
}

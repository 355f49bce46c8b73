// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/rowstore.h"

#include "log/diskwriter.h"
#include "log/rowblock.h"
#include "log/rowsnapshot.h"
#include "log/storefile.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <atomic>
#include <cstring>
#include <mutex>

// The file and how writing to it goes; shared with the writer thread's tasks.
struct RowStore::Paging
{
    explicit Paging(const QString &directory) : file(std::make_shared<StoreFile>(directory))
    {
        if (!file->isOpen())
            fail(file->errorString());
    }

    void fail(const QString &why)
    {
        std::lock_guard<std::mutex> guard(lock);
        reason = why.isEmpty() ? QCoreApplication::translate("RowStore", "ошибка записи") : why;
        failed = true;
    }

    std::shared_ptr<StoreFile> file;
    std::atomic<bool> failed{false};
    mutable std::mutex lock;
    QString reason;
};

RowStore::RowStore(const QString &directory)
    : directory(directory.isEmpty() ? defaultDirectory() : directory),
      paging(std::make_shared<Paging>(this->directory)), writer(std::make_unique<DiskWriter>())
{
}

RowStore::~RowStore() = default;

QString RowStore::defaultDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
}

void RowStore::append(const LogRecord &record)
{
    const size_t block = size_t(rows >> RowBlock::Shift);
    if (block == blocks.size()) {
        if (block > 0)
            pageOut(qint64(block) - 1);
        releaseWritten();
        blocks.push_back(std::make_shared<RowBlock>());
    }
    blocks[block]->rows[rows & RowBlock::Mask] = record;
    ++rows;
}

void RowStore::append(const TimedPacket &frame, qint32 number)
{
    LogRecord record = LogRecord::fromFrame(frame, number);
    if (record.hasTail()) {
        if (!tails)
            tails = std::make_unique<RowStore>(directory);
        record.setTailRow(tails->size());
        LogRecord parts[LogRecord::TailRows];
        static_assert(sizeof parts == sizeof frame.packet.data, "tail rows hold the FD bytes");
        std::memcpy(static_cast<void *>(parts), frame.packet.data, sizeof parts);
        for (const LogRecord &part : parts)
            tails->append(part);
    }
    append(record);
}

TimedPacket RowStore::frame(qint64 row) const
{
    const LogRecord record = at(row);
    TimedPacket frame = record.toFrame();
    if (record.hasTail() && tails)
        for (int i = 0; i < LogRecord::TailRows; ++i) {
            const LogRecord part = tails->at(record.tailRow() + i);
            std::memcpy(frame.packet.data + i * sizeof part, &part, sizeof part);
        }
    return frame;
}

// A full block goes to the file on the writer thread; its memory is let go once it is there.
void RowStore::pageOut(qint64 block)
{
    if (paging->failed)
        return;
    std::shared_ptr<Paging> target = paging;
    std::shared_ptr<RowBlock> rowsOut = blocks[size_t(block)];
    writer->post([target, rowsOut, block] {
        if (target->failed)
            return;
        QString why;
        if (target->file->writeAt(block * RowBlock::Bytes, rowsOut->rows, RowBlock::Bytes, &why))
            rowsOut->written = true;
        else
            target->fail(why);
    });
}

void RowStore::releaseWritten()
{
    while (releaseFrom < blocks.size()) {
        std::shared_ptr<RowBlock> &block = blocks[releaseFrom];
        if (!block || !block->written)
            break;
        block.reset();
        ++releaseFrom;
    }
}

LogRecord RowStore::at(qint64 row) const
{
    if (row < 0 || row >= rows)
        return LogRecord{};
    const qint64 block = row >> RowBlock::Shift;
    const RowBlock *held = blocks[size_t(block)].get();
    const LogRecord *from = held ? held->rows : cache.rows(*paging->file, block);
    return from ? from[row & RowBlock::Mask] : LogRecord{};
}

void RowStore::clear()
{
    paging->failed = true; // writes still queued for the old file are dropped
    writer = std::make_unique<DiskWriter>();
    blocks.clear();
    blocks.shrink_to_fit();
    cache.clear();
    rows = 0;
    releaseFrom = 0;
    paging = std::make_shared<Paging>(directory);
    tails.reset();
}

RowSnapshot RowStore::snapshot() const
{
    RowSnapshot frozen;
    frozen.file = paging->file;
    frozen.blocks.assign(blocks.begin(), blocks.end());
    frozen.rows = rows;
    if (tails)
        frozen.tails = std::make_unique<RowSnapshot>(tails->snapshot());
    return frozen;
}

QString RowStore::errorString() const
{
    std::lock_guard<std::mutex> guard(paging->lock);
    return paging->reason;
}

int RowStore::blocksInMemory() const
{
    int held = 0;
    for (const auto &block : blocks)
        held += block ? 1 : 0;
    return held;
}

void RowStore::waitWritten()
{
    writer->waitIdle();
    releaseWritten();
}

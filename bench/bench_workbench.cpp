// SPDX-License-Identifier: GPL-3.0-or-later
// The signal workbench: bit flips of one identifier over 10,000,000 stored rows (paged out to
// the store's file but for the newest) and of every identifier over the bit view's spans, the
// added cost per received frame of keeping every identifier's bit flips current (100
// identifiers), and writing a 2,000-message database.
#include "analysis/bitbackground.h"
#include "analysis/bitflipcounter.h"
#include "analysis/bitspancount.h"
#include "capture/logrecord.h"
#include "capture/rowsnapshot.h"
#include "capture/rowstore.h"
#include "signals/dbcdatabase.h"
#include "signals/dbcwriter.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

namespace {

constexpr int Rows = 10000000;
constexpr int LiveFrames = 10000000;
constexpr int Ids = 100;
constexpr int Messages = 2000;
constexpr int SignalsPerMessage = 8;
constexpr qint64 Start = 1700000000000000;
constexpr qint64 FrameGapUs = 23;

LogRecord recordFor(int i)
{
    LogRecord r{};
    r.id = quint32(0x100 + i % Ids);
    r.rtl = 8;
    r.time = Start + i * FrameGapUs;
    r.number = i + 1;
    for (int b = 0; b < 8; ++b)
        r.data[b] = quint8((i / Ids) >> (b * 2)); // low bytes count, high bytes rarely move
    return r;
}

void benchStoredRows()
{
    QTemporaryDir dir;
    RowStore store(dir.path());
    for (int i = 0; i < Rows; ++i)
        store.append(recordFor(i));
    store.waitWritten();
    const RowSnapshot rows = store.snapshot();
    BitFlipCounter counter;
    QElapsedTimer timer;
    timer.start();
    counter.addRows(rows, 0, rows.size(), BitFlipCounter::key(0x100, false));
    std::printf("bitflips_one_id_10M_stored_rows_ms %lld\n", timer.elapsed());
    std::printf("bitflips_one_id_frames %llu\n",
                static_cast<unsigned long long>(
                    counter.activity(BitFlipCounter::key(0x100, false))->frames));
    // The bit view's spans count every identifier: all rows, and a live capture's last minute.
    for (const double seconds : {3600.0, 60.0}) {
        BitSpanCount span = BitSpanCount::lastSeconds(rows, seconds);
        timer.restart();
        span.run();
        std::printf("bitspan_every_id_last_%.0f_s_ms %lld (rows %lld)\n", seconds, timer.elapsed(),
                    span.rowCount());
    }
}

// A received frame is in the cache when it is counted: the frames come from a small ring.
void benchLive()
{
    constexpr int Ring = 1 << 14;
    std::vector<LogRecord> records(Ring);
    for (int i = 0; i < Ring; ++i)
        records[size_t(i)] = recordFor(i);
    BitFlipCounter counter;
    BitBackground background;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < LiveFrames; ++i) {
        LogRecord &record = records[size_t(i) & (Ring - 1)];
        record.data[0] = quint8(i / Ids);                          // the low byte counts on
        record.data[7] = quint8(i > LiveFrames / 2 ? i / Ids : 0); // then a new byte moves
        counter.add(record);
        if (i == LiveFrames / 2)
            background.remember(counter);
    }
    std::printf("bitflips_live_per_frame_ns %.2f\n", double(timer.nsecsElapsed()) / LiveFrames);
    quint64 fresh = 0;
    for (const quint32 key : counter.keys())
        fresh |= background.newBits(key, *counter.activity(key));
    std::printf("bitflips_new_bits_after_background 0x%llx\n",
                static_cast<unsigned long long>(fresh));
}

QByteArray bigDatabaseText()
{
    QByteArray text = "VERSION \"\"\nBU_: A B\n";
    for (int m = 0; m < Messages; ++m) {
        text += "BO_ " + QByteArray::number(m + 1) + " Message" + QByteArray::number(m) + ": 8 A\n";
        for (int s = 0; s < SignalsPerMessage; ++s)
            text += " SG_ Signal" + QByteArray::number(s) + " : " + QByteArray::number(s * 8) +
                    "|8@1+ (0.1,-40.5) [-40.5|-15] \"unit\" B\n";
        text += "CM_ BO_ " + QByteArray::number(m + 1) + " \"Message " + QByteArray::number(m) +
                "\";\n";
        text += "VAL_ " + QByteArray::number(m + 1) + " Signal0 0 \"Off\" 1 \"On\" ;\n";
    }
    return text;
}

void benchWriter()
{
    DbcDatabase db;
    db.read(bigDatabaseText());
    constexpr int Runs = 5;
    qint64 best = std::numeric_limits<qint64>::max();
    int size = 0;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        size = DbcWriter(db).bytes().size();
        best = std::min(best, timer.nsecsElapsed());
    }
    std::printf("dbc_write_2000_messages_ms %.2f\n", double(best) / 1e6);
    std::printf("dbc_write_2000_messages_bytes %d\n", size);
}

} // namespace

int main()
{
    benchLive();
    benchWriter();
    benchStoredRows();
    return 0;
}

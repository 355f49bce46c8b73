// SPDX-License-Identifier: GPL-3.0-or-later
// The signal workbench: bit flips of one identifier over 10,000,000 stored rows (paged out to
// the store's file but for the newest) and of every identifier over the bit view's spans, the
// added cost per received frame of keeping every identifier's bit flips current (100
// identifiers), and writing a 2,000-message database.
#include "analysis/bitbackground.h"
#include "analysis/bitflipcounter.h"
#include "analysis/bitspancount.h"
#include "log/logrecord.h"
#include "log/rowsnapshot.h"
#include "log/rowstore.h"
#include "signals/dbcdatabase.h"
#include "signals/dbcwriter.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
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

// The frame's data as the link leaves it: written in one piece well before it is counted. Two
// byte stores just before the counter's 8-byte read would stall on store forwarding, which a
// frame coming through the link never does.
void nextData(LogRecord &record, int i)
{
    quint64 word;
    std::memcpy(&word, record.data, sizeof word);
    word = (word & 0x00FFFFFFFFFFFF00ull) | quint8(i / Ids)           // the low byte counts on
           | quint64(quint8(i > LiveFrames / 2 ? i / Ids : 0)) << 56; // then a new byte moves
    std::memcpy(record.data, &word, sizeof word);
}

// Nanoseconds per frame of one pass over LiveFrames frames, counted when `counter` is given.
double livePass(std::vector<LogRecord> &records, BitFlipCounter *counter, BitBackground &background)
{
    volatile quint8 sink = 0;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < LiveFrames; ++i) {
        LogRecord &record = records[size_t(i) & (records.size() - 1)];
        nextData(record, i);
        if (!counter) {
            sink = record.data[0];
            continue;
        }
        counter->add(record);
        if (i == LiveFrames / 2)
            background.remember(*counter);
    }
    (void)sink;
    return double(timer.nsecsElapsed()) / LiveFrames;
}

// A received frame is in the cache when it is counted: the frames come from a small ring. The
// added cost is the loop's time with counting less its time without; the best of three passes.
void benchLive()
{
    constexpr int Ring = 1 << 14;
    constexpr int Passes = 3;
    std::vector<LogRecord> records(Ring);
    for (int i = 0; i < Ring; ++i)
        records[size_t(i)] = recordFor(i);
    BitFlipCounter counter;
    BitBackground background;
    double counting = 1e9;
    double bare = 1e9;
    for (int pass = 0; pass < Passes; ++pass) {
        counter.clear();
        counting = std::min(counting, livePass(records, &counter, background));
        bare = std::min(bare, livePass(records, nullptr, background));
    }
    std::printf("bitflips_live_per_frame_ns %.2f (the loop alone %.2f)\n", counting, bare);
    std::printf("bitflips_live_added_per_frame_ns %.2f\n", counting - bare);
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

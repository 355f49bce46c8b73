// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/bitflipcounter.h"
#include "analysis/busload.h"
#include "analysis/framefilter.h"
#include "capture/capturelog.h"
#include "diagnostics/diagnosticslog.h"
#include "link/timedpacket.h"

#include <QElapsedTimer>
#include <QObject>
#include <QVector>
#include <array>

class CanDataModel;
class CaptureRecorder;
class FrameStatistics;
class QTimer;

// Where every frame the window shows comes in, live from the capture session or from an opened
// capture: the filters decide which reach the log, and every received frame is counted in the
// statistics, read for diagnostic messages and counted for bit flips and bus load. The pages
// are views of what the feed keeps; it tells them at a bounded rate (refreshed()), never once per
// frame.
//
// A received frame waits a few frames before it is taken, while its identifier's state is
// fetched from memory: with thousands of identifiers that state is not in the cache, and reading
// it only when the frame is taken would stall every frame. Whatever the feed hands out, and each
// refresh, first takes the frames that wait, so no view sees the difference.
class FrameFeed final : public QObject
{
    Q_OBJECT

public:
    // The log's views and the pages are brought up to date at most this often.
    static constexpr int RefreshMs = 40;

    // `storeDirectory` holds the log's private row file; empty: the user's cache directory.
    explicit FrameFeed(QObject *parent = nullptr, const QString &storeDirectory = QString());
    ~FrameFeed() override;

    // A frame the session read (received) or sent (transmitted).
    void add(const TimedPacket &frame);
    // An opened capture replaces the log; read again (`reread`) after the filters changed, it
    // keeps the live rows logged after it and counts nothing twice.
    void beginCapture(bool reread);
    void addCapture(const QVector<TimedPacket> &batch);
    void endCapture();
    // Everything goes: rows, statistics, messages, flips.
    void clear();
    // Publishes the log's new rows and tells the pages now.
    void refresh();

    FrameFilter &filter();
    CanDataModel *log() const;
    CaptureLog &captureLog();
    FrameStatistics *statistics() const;
    DiagnosticsLog &diagnostics();
    const BitFlipCounter &bitFlips() const;
    BusLoad &busLoad() { return load; }
    // Received frames that came live, over every connection.
    quint64 liveFrames() const { return live; }

    // Whether a recording holds the live frames from now on is the recorder's to say.
    void setRecorder(const CaptureRecorder *recorder) { this->recorder = recorder; }
    // Rows logged live that no recording held and no save has written since.
    qint64 unfiledRows() const;
    // The first `rows` rows of the log were saved.
    void rowsSaved(qint64 rows);
    void forgetUnfiled();

signals:
    // New rows were published to the log's views.
    void rowsAdded();
    // What the pages show changed; they bring themselves up to date.
    void refreshed();
    // The log, and all counted from it, was emptied (a clear, or a new capture).
    void cleared();

private:
    // Frames waiting: their identifiers' state is fetched while the next ones come.
    static constexpr int Ahead = 16;
    // A live frame's recording is what it was when the frame came.
    enum class Origin : quint8 { Live, LiveRecorded, Capture };
    // Where the statistics and the flip counter keep the frame's identifier, as fetching ahead
    // found it (-1: not found yet, looked up when the frame is taken).
    struct Found
    {
        qint32 entry = -1;
        qint32 state = -1;
    };
    struct Waiting
    {
        TimedPacket frame;
        Origin origin = Origin::Live;
        Found found;
    };

    Origin liveOrigin() const;
    void wait(const TimedPacket &frame, Origin origin);
    void fetchAhead();
    void takeOldest();
    void take(const TimedPacket &frame, Origin origin, Found found);
    // Takes every waiting frame; the state it changes is what the feed shows, so const readers
    // may ask for it too.
    void settle() const;
    void addSent(const TimedPacket &frame);
    void addCaptureFrame(const TimedPacket &frame, Found found);
    void logLive(const TimedPacket &frame, Origin origin);
    // Every received frame, logged at `row` or not logged (-1), feeds the analyses.
    void analyse(const TimedPacket &frame, qint64 row, Found found);
    qint64 nextRow() const;
    void scheduleRefresh();

    CanDataModel *model;
    CaptureLog captured;
    FrameFilter filters;
    FrameStatistics *stats;
    DiagnosticsLog diag;
    BitFlipCounter flips;
    BusLoad load;
    const CaptureRecorder *recorder = nullptr;
    quint64 live = 0;
    qint64 unfiled = 0;
    std::array<Waiting, Ahead> waiting;
    quint64 waited = 0; // frames that ever waited; the oldest waiting is waited - waitingCount
    int waitingCount = 0;
    QTimer *refreshTimer;
    QElapsedTimer lastRefresh;
};

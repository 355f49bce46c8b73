// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "signals/decodedcsvwriter.h"

#include <memory>
#include <qcustomplot.h>
#include <vector>

class CanDataModel;
class SignalTrace;
struct DbcMessage;

// Plots signals of the log over time (seconds since the log's first row): all in one plot, or
// stacked one above the other on a shared time axis. While following, the time axis shows the
// last LiveSeconds and scrolls with new rows; dragging or zooming with the mouse stops that. A
// vertical cursor follows the mouse and reads every signal's value at that time.
class SignalPlot final : public QCustomPlot
{
    Q_OBJECT

public:
    static constexpr double LiveSeconds = 30;
    // Rows taken on the window's thread at one refresh; a longer backlog is read from a
    // snapshot on a thread of its own.
    static constexpr qint64 RowsPerRefresh = 20000;

    explicit SignalPlot(QWidget *parent = nullptr);
    ~SignalPlot() override;

    void setLog(CanDataModel *log);
    // False when it is plotted already.
    bool addSignal(const DbcMessage *message, int signalIndex);
    void removeSignal(const DbcMessage *message, int signalIndex);
    bool hasSignal(const DbcMessage *message, int signalIndex) const;
    void clearSignals();
    int traceCount() const { return int(traces.size()); }
    int pointCount(int trace) const;
    bool isCollecting() const;
    std::vector<DecodedCsvWriter::Column> columns() const;

    void setStacked(bool stacked);
    bool isStacked() const { return stackedPlots; }
    void setFollowing(bool follow);
    bool isFollowing() const { return follow; }

    // Takes the rows the log gained; redraws when shown.
    void refresh();
    // Puts the cursor at `seconds` and returns what it reads.
    QString showCursorAt(double seconds);
    // The whole of every signal in sight.
    void showAll();

signals:
    void followingChanged(bool following);
    // A background read of the log finished (tests wait for it).
    void collected();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void onLogReset();
    void onCollected(SignalTrace *trace);
    bool takeRows(qint64 rows);
    void rebuild();
    QCPAxisRect *rectFor(int trace);
    void addTitle(QCPAxisRect *rect, const QString &title, const QColor &colour);
    QCPAxis *timeAxis() const { return axisRect(0)->axis(QCPAxis::atBottom); }
    void scrollToNewest();
    void userMovedRange();
    double newestKey() const;
    QString cursorText(double seconds) const;

    CanDataModel *log = nullptr;
    std::vector<std::unique_ptr<SignalTrace>> traces;
    std::vector<QCPGraph *> graphs; // one per trace
    std::vector<QCPItemStraightLine *> cursorLines;
    QCPItemText *cursorLabel = nullptr;
    qint64 origin;
    bool stackedPlots = false;
    bool follow = true;
    bool moving = false; // the program itself moves the time axis
};

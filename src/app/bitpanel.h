// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/bitbackground.h"
#include "analysis/bitflipcounter.h"
#include "analysis/fieldmark.h"

#include <QElapsedTimer>
#include <QVector>
#include <QWidget>
#include <memory>

class BackgroundJob;
class BitSpanCount;
class CanDataModel;
class DbcLoader;
class LogPager;
class QTimer;
class FrameStatistics;
class QTableView;
struct TimedPacket;
namespace Ui {
class BitPanel;
}

// The "Биты" page: the bit grid of the identifier current in the statistics, over the chosen
// span (every frame of the log, live or loaded; its last seconds; the rows selected in it), with
// the DBC signals that lie on it and the background. Spans other than the whole log are counted
// again from the log's rows on a thread of their own.
class BitPanel final : public QWidget
{
    Q_OBJECT

public:
    enum class Span { WholeLog, LastSeconds, SelectedRows }; // the order of "cbBitSpan"

    explicit BitPanel(QWidget *parent = nullptr);
    ~BitPanel() override;

    // The flips counted over every frame of the log; it outlives the panel.
    void setCounter(const BitFlipCounter *wholeLog) { flips = wholeLog; }
    // The log whose rows the last seconds and the selected rows are counted from; both outlive
    // the panel.
    void attachLog(const CanDataModel *log, const LogPager *pager);
    Span span() const;

    // The log was emptied: spans counted from it go.
    void clear();
    // Brings the grid up to date; does nothing while the page is hidden.
    void refresh();
    // Shows the identifier of the statistics table's current row.
    void follow(QTableView *statisticsView, const FrameStatistics *statistics);
    // Outlines the signals of the DBC files the loader holds.
    void showSignals(const DbcLoader *dbc);
    void showId(quint32 id, bool extended);
    // Shows the identifier with a found candidate's bits outlined beside its signals.
    void showCandidate(quint32 id, bool extended, int startBit, int length, bool motorola);
    // Outlines the counters and checksums among the marks ("Разметить") on their identifiers.
    void showMarks(const std::vector<FieldMark> &marks);

    // Every frame of the log, and what the grid shows: the chosen span once it is counted.
    const BitFlipCounter &counter() const { return *flips; }
    const BitFlipCounter &shownCounter() const;
    const BitBackground &background() const { return bg; }
    // Whether the identifier has bits flipping outside the background.
    bool hasNewFlips(quint32 id, bool extended) const;

signals:
    void backgroundChanged();
    // "Создать сигнал" on the bits dragged across, and a double click on a signal's cell.
    void signalRequested(quint32 id, bool extended, int fromBit, int toBit, int frameLength);
    void signalEditRequested(quint32 id, bool extended, const QString &name);
    // "Сообщение..." on an identifier the DBC files know.
    void messageEditRequested(quint32 id, bool extended);
    void findSignalRequested(quint32 id, bool extended);

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void on_btRememberBackground_clicked();
    void on_btForgetBackground_clicked();
    void on_btCreateSignal_clicked();
    void on_btEditMessage_clicked();
    void on_btFindSignal_clicked();
    void on_cbBitSpan_currentIndexChanged(int index);
    void on_sbBitSeconds_valueChanged(int seconds);

private:
    Ui::BitPanel *ui;
    BitFlipCounter none;                 // until a log is attached
    const BitFlipCounter *flips = &none; // every frame of the log
    BitBackground bg;
    const DbcLoader *dbc = nullptr;
    quint32 key = BitFlipCounter::AnyKey;
    quint32 shownId = 0;
    bool shownExtended = false;
    QVector<int> candidateBits;    // of the shown identifier; empty when none
    std::vector<FieldMark> marked; // counters and checksums of every identifier

    const CanDataModel *log = nullptr;
    const LogPager *pager = nullptr;
    BackgroundJob *job;
    BitFlipCounter spanFlips;
    bool spanReady = false;  // spanFlips holds a count of the chosen span (or of the one before)
    qint64 spanRows = 0;     // the rows spanFlips was counted over
    qint64 countedRows = -1; // the log's rows when the last count started
    int generation = 0;      // of the span the user chose; a count of an older one is dropped
    bool restart = false;    // count again once the cancelled count ended
    QTimer *recountTimer;    // a live capture's last seconds, at a modest rate
    QTimer *selectionTimer;  // a selection being dragged is counted once it rests
    QElapsedTimer sinceCount;

    void recount();
    void startCount();
    void onCounted(const std::shared_ptr<BitSpanCount> &count, bool ok, int forGeneration);
    void scheduleRecount();
    void updateSpanText();
    // Makes the identifier the shown one, without drawing.
    void select(quint32 id, bool extended);
    // The shown identifier's blocks of eight bytes over the shown span.
    std::vector<BitActivity> shownBlocks() const;
    void updateOutlines(const std::vector<BitActivity> &blocks);
    void onCellActivated(int bit);
};

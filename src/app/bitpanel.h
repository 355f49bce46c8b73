// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/bitbackground.h"
#include "analysis/bitflipcounter.h"

#include <QVector>
#include <QWidget>

class DbcLoader;
class FrameStatistics;
class QTableView;
struct TimedPacket;
namespace Ui {
class BitPanel;
}

// The "Биты" page: the bit grid of the identifier current in the statistics, over every frame
// of the log (live or loaded), with the DBC signals that lie on it and the background.
class BitPanel final : public QWidget
{
    Q_OBJECT

public:
    explicit BitPanel(QWidget *parent = nullptr);
    ~BitPanel() override;

    // A frame of the log; cheap enough for every received frame.
    void add(const TimedPacket &frame);
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

    const BitFlipCounter &counter() const { return flips; }
    const BitBackground &background() const { return bg; }
    // Whether the identifier has bits flipping outside the background.
    bool hasNewFlips(quint32 id, bool extended) const;

signals:
    void backgroundChanged();
    // "Создать сигнал" on the bits dragged across, and a double click on a signal's cell.
    void signalRequested(quint32 id, bool extended, int fromBit, int toBit, int frameLength);
    void signalEditRequested(quint32 id, bool extended, const QString &name);

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void on_btRememberBackground_clicked();
    void on_btForgetBackground_clicked();
    void on_btCreateSignal_clicked();

private:
    Ui::BitPanel *ui;
    BitFlipCounter flips;
    BitBackground bg;
    const DbcLoader *dbc = nullptr;
    quint32 key = BitFlipCounter::AnyKey;
    quint32 shownId = 0;
    bool shownExtended = false;
    QVector<int> candidateBits; // of the shown identifier; empty when none

    void updateOutlines(const BitActivity *activity);
    void onCellActivated(int bit);
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/signalsearch.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class BackgroundJob;
class CanDataModel;
class FinderResults;
class FrameIndex;

namespace Ui {
class SignalFinder;
}

// "Найти сигнал": narrows the places a signal may lie in the log's frames step by step, by what
// its value did. The index of the log is built, every step run and its results ranked, off the
// window's thread.
// Results are fields with their narrower forms folded in. Given the values at two moments,
// "Подобрать масштаб" finds the factor and offset of the picked field. Selecting a result and
// "Создать сигнал" are announced for the bit view and the signal dialog.
class SignalFinder final : public QWidget
{
    Q_OBJECT

public:
    // Rows of the table shown at most.
    static constexpr int ShownResults = 200;

    explicit SignalFinder(const CanDataModel *log, QWidget *parent = nullptr);
    ~SignalFinder() override;

    // Bits of the signals already known, so that candidates over them rank last.
    // Limits the next search to one identifier ("Идентификаторы").
    void setIdentifier(quint32 id, bool extended);
    void setKnownBits(const SignalSearch::KnownBits &bits) { known = bits; }
    // Where "Из журнала" takes a moment from (the log's current row, say).
    void setMomentSource(std::function<std::optional<qint64>()> source)
    {
        momentSource = std::move(source);
    }
    quint64 remaining() const;

public slots:
    // A moment from the log or a plot: fills "Момент 1", or "Момент 2" when that has the focus.
    void onSetMoment(qint64 time);

signals:
    void candidateSelected(quint32 id, bool extended, int startBit, int length, bool motorola,
                           bool isSigned);
    void createSignalRequested(quint32 id, bool extended, int startBit, int length, bool motorola,
                               bool isSigned, double factor, double offset);

private slots:
    void on_btStep_clicked();
    void on_btUndo_clicked();
    void on_btRestart_clicked();
    void on_btCancel_clicked();
    void on_btMoment1_clicked();
    void on_btMoment2_clicked();
    void on_btCreateSignal_clicked();
    void on_btFitScale_clicked();
    void on_cbCondition_currentIndexChanged(int index);

private:
    void fillConditions();
    SearchCondition condition() const;
    SignalSearch::Options options() const;
    qint64 timeOf(double seconds) const;
    qint64 start() const; // of the search's index, or of the log before there is one
    void startSearch(const SearchCondition &first);
    void runStep(const SearchCondition &c);
    void onStepDone(std::shared_ptr<SignalSearch::Step> step);
    void showState();
    void showResults();
    void offerScaleMoments();
    const SignalSearch::Result *selectedResult() const;
    void onSelectionChanged();
    void setBusy(bool busy);

    struct Scale
    {
        SignalCandidate candidate;
        double factor = 1;
        double offset = 0;
    };

    Ui::SignalFinder *ui;
    const CanDataModel *log;
    BackgroundJob *job;
    std::unique_ptr<SignalSearch> search;
    FinderResults *results;
    std::optional<Scale> fitted; // for the candidate picked, by "Подобрать масштаб"
    SignalSearch::KnownBits known;
    std::function<std::optional<qint64>()> momentSource;
    qint64 origin = 0; // the log's first moment: times are typed in seconds from it
};

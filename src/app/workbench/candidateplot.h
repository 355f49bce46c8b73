// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QVector>
#include <qcustomplot.h>

class SignalSearch;
struct SignalCandidate;

// The finder's plot of the picked candidate: its value over the whole log, in seconds from the
// log's start, with the moments the conditions named as vertical lines. A long series is thinned
// to at most MaxPoints, keeping each stretch's lowest and highest value so no spike is lost.
class CandidatePlot final : public QCustomPlot
{
    Q_OBJECT

public:
    static constexpr int MaxPoints = 20000;

    explicit CandidatePlot(QWidget *parent = nullptr);

    void showCandidate(const SignalSearch &search, const SignalCandidate &candidate, qint64 origin);
    void clearCandidate();
    int pointCount() const;

private:
    void markMoments(const QVector<qint64> &moments, qint64 origin);
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/workbench/candidateplot.h"

#include "analysis/frameindex.h"
#include "analysis/signalsearch.h"

#include <algorithm>

CandidatePlot::CandidatePlot(QWidget *parent) : QCustomPlot(parent)
{
    addGraph();
    graph(0)->setLineStyle(QCPGraph::lsStepLeft);
    xAxis->setLabel(tr("Время, с"));
    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    axisRect()->setRangeZoom(Qt::Horizontal);
    axisRect()->setRangeDrag(Qt::Horizontal);
}

void CandidatePlot::showCandidate(const SignalSearch &search, const SignalCandidate &candidate,
                                  qint64 origin)
{
    const FrameIndex::Series &series = search.index().at(int(candidate.series));
    const int count = series.size();
    const int stride = std::max(1, (2 * count + MaxPoints - 1) / MaxPoints);
    QVector<double> times, values;
    times.reserve(std::min(count, MaxPoints + 3));
    values.reserve(times.capacity());
    const auto value = [&](int i) {
        return search.physical(candidate, series.window(i, candidate.base));
    };
    const auto append = [&](int i) {
        times << double(series.times[size_t(i)] - origin) / 1e6;
        values << value(i);
    };
    for (int first = 0; first < count; first += stride) {
        const int end = std::min(count, first + stride);
        int low = first, high = first;
        double lowest = value(first), highest = lowest;
        for (int i = first + 1; i < end; ++i) {
            const double v = value(i);
            if (v < lowest) {
                low = i;
                lowest = v;
            } else if (v > highest) {
                high = i;
                highest = v;
            }
        }
        append(std::min(low, high));
        if (low != high)
            append(std::max(low, high));
        if (end == count && std::max(low, high) != count - 1)
            append(count - 1); // the line runs to the newest frame
    }
    graph(0)->setData(times, values, true);
    graph(0)->rescaleAxes();
    if (yAxis->range().size() == 0) // a constant value
        yAxis->setRange(yAxis->range().center() - 1, yAxis->range().center() + 1);
    yAxis->scaleRange(1.1, yAxis->range().center());
    markMoments(search.moments(), origin);
    replot();
}

void CandidatePlot::markMoments(const QVector<qint64> &moments, qint64 origin)
{
    clearItems();
    for (const qint64 moment : moments) {
        auto *line = new QCPItemStraightLine(this);
        const double x = double(moment - origin) / 1e6;
        line->point1->setCoords(x, 0);
        line->point2->setCoords(x, 1);
        line->setPen(QPen(QColor(230, 120, 0), 1, Qt::DashLine));
    }
}

void CandidatePlot::clearCandidate()
{
    graph(0)->data()->clear();
    clearItems();
    replot();
}

int CandidatePlot::pointCount() const
{
    return graph(0)->dataCount();
}

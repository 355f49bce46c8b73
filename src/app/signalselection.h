// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class FrameStatistics;
class LogPager;
class QTableView;
class SignalsPage;

// Tells the signals page which frame to list: the current row of the log, or the latest frame
// of the identifier current in the statistics, followed as new frames come.
class SignalSelection final : public QObject
{
    Q_OBJECT

public:
    SignalSelection(LogPager *pager, QTableView *logView, FrameStatistics *statistics,
                    QTableView *statisticsView, SignalsPage *page);

private:
    void onLogRow();
    void onStatisticsRow(int row);
    void follow();

    LogPager *pager;
    FrameStatistics *statistics;
    SignalsPage *page;
    int logRow = -1;
    quint64 statisticsKey = 0;
    bool fromStatistics = false;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/signalselection.h"

#include "analysis/framestatistics.h"
#include "app/logpager.h"
#include "app/signalspage.h"
#include "link/timedpacket.h"
#include "log/candatamodel.h"
#include "log/logpagemodel.h"

#include <QItemSelectionModel>
#include <QTableView>

SignalSelection::SignalSelection(LogPager *pager, QTableView *logView, FrameStatistics *statistics,
                                 QTableView *statisticsView, SignalsPage *page)
    : QObject(page), pager(pager), statistics(statistics), page(page)
{
    // Connected after the pager's own handler, so its current row is up to date here.
    connect(logView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &SignalSelection::onLogRow);
    connect(statisticsView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &index) { onStatisticsRow(index.row()); });
    connect(page, &SignalsPage::refreshed, this, &SignalSelection::follow);
}

void SignalSelection::onLogRow()
{
    const int row = pager->currentRow();
    if (row < 0 || (row == logRow && !fromStatistics))
        return; // the page moved under the same row
    logRow = row;
    fromStatistics = false;
    page->showFrame(pager->page()->source()->frameAt(row).packet);
}

void SignalSelection::onStatisticsRow(int row)
{
    const FrameStatistics::StatEntry *entry = statistics->entryAt(row);
    if (!entry)
        return;
    statisticsKey = FrameStatistics::keyOf(entry->id, entry->extended);
    fromStatistics = true;
    logRow = -1;
    page->showFrame(entry->lastFrame());
}

// The identifier chosen in the statistics shows its newest values.
void SignalSelection::follow()
{
    if (!fromStatistics || !page->isVisible())
        return;
    const auto *entry = statistics->entry(uint32_t(statisticsKey >> 1), statisticsKey & 1);
    if (entry)
        page->showFrame(entry->lastFrame());
}

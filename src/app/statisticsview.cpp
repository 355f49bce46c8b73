// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/statisticsview.h"

#include "analysis/framefilter.h"
#include "analysis/framestatistics.h"
#include "app/bytefadedelegate.h"
#include "app/dbcloader.h"
#include "app/headerfit.h"
#include "app/statisticsmodel.h"
#include "log/bytetext.h"
#include "log/candatamodel.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QStyle>
#include <QTableView>
#include <QTimer>

namespace {
constexpr int CellMargin = 16;
// The widest text of each kind of column, for widths that fit the font in use.
const char *const WidestId = "0x00000000";
const char *const WidestCount = "0000000000";
const char *const WidestMs = "00000.0";
const char *const WidestPacket = "[RX] F: 00 ID: 00000000 RTL: 00 DATA: 00 00 00 00 00 00 00 00";
const char *const WidestName = "ENGINE_TORQUE_REQUEST"; // a typical long DBC name
} // namespace

StatisticsView::StatisticsView(QTableView *view, FrameStatistics *statistics, FrameFilter *filter,
                               QObject *parent)
    : QObject(parent), view(view), statistics(statistics), filter(filter),
      model(new StatisticsModel(statistics, this)), menu(new QMenu(view)), ticker(new QTimer(this))
{
    model->setIdFilter(filter);
    view->setModel(model);
    view->setItemDelegate(new ByteFadeDelegate(StatisticsModel::HighlightRole, view));
    // In sight on a laptop screen, beside the count rather than past the data bytes.
    QHeaderView *header = view->horizontalHeader();
    header->moveSection(header->visualIndex(StatisticsModel::NewColumn),
                        header->visualIndex(StatisticsModel::CountColumn) + 1);
    setColumnWidths();

    onlyAction =
        addAction("actionShowOnlyId", tr("Только этот ID"), &StatisticsView::showOnlyCurrent);
    addAction("actionShowAllIds", tr("Показать все"), &StatisticsView::showAll);
    addAction("actionHideAllIds", tr("Скрыть все"), &StatisticsView::hideAll);
    newOnlyAction = new QAction(tr("Только новые"), view);
    newOnlyAction->setObjectName(QStringLiteral("actionNewOnly"));
    newOnlyAction->setCheckable(true);
    connect(newOnlyAction, &QAction::toggled, this, &StatisticsView::setNewOnly);
    menu->addAction(newOnlyAction);
    findAction =
        addAction("actionFindSignalInId", tr("Найти сигнал..."), &StatisticsView::findInCurrent);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, &StatisticsView::onContextMenu);

    connect(ticker, &QTimer::timeout, this, &StatisticsView::onTick);
    ticker->start(RepaintMs);
}

QAction *StatisticsView::addAction(const char *name, const QString &text,
                                   void (StatisticsView::*act)())
{
    auto *action = new QAction(text, view);
    action->setObjectName(QLatin1String(name));
    connect(action, &QAction::triggered, this, act);
    menu->addAction(action);
    return action;
}

void StatisticsView::setFormat(int format)
{
    model->setFormat(format);
    setColumnWidths();
}

void StatisticsView::showNames(const DbcLoader *dbc)
{
    model->setSignalSet(&dbc->signalSet());
    connect(dbc, &DbcLoader::changed, model, &StatisticsModel::announceNames);
}

void StatisticsView::setColumnWidths()
{
    const auto fit = [this](int column, const QString &widest, int extra = 0) {
        const int width = view->fontMetrics().horizontalAdvance(widest);
        view->setColumnWidth(column, width + CellMargin + extra);
    };
    const int checkBox = view->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                         2 * view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin);
    fit(StatisticsModel::IdColumn, QLatin1String(WidestId), checkBox);
    fit(StatisticsModel::CountColumn, QLatin1String(WidestCount));
    fit(StatisticsModel::PacketColumn, QLatin1String(WidestPacket));
    for (int column = StatisticsModel::CycleColumn; column <= StatisticsModel::RateColumn; ++column)
        fit(column, QLatin1String(WidestMs));
    const QString widestByte = widestLogByteText(model->format(), view->fontMetrics());
    for (int column = StatisticsModel::FirstByteColumn; column <= StatisticsModel::LastByteColumn;
         ++column)
        fit(column, widestByte);
    fit(StatisticsModel::NameColumn, QLatin1String(WidestName));
    fit(StatisticsModel::NewColumn, StatisticsModel::tr("да"));
    HeaderFit::widenToTitles(view);
}

void StatisticsView::showOnlyCurrent()
{
    const FrameStatistics::StatEntry *entry = statistics->entryAt(view->currentIndex().row());
    if (!entry)
        return;
    filter->showOnly(entry->id, entry->extended);
    model->announceChecks();
}

void StatisticsView::showAll()
{
    filter->showAllIds();
    model->announceChecks();
}

void StatisticsView::hideAll()
{
    filter->hideAllIds();
    model->announceChecks();
}

void StatisticsView::findInCurrent()
{
    if (const auto *entry = statistics->entryAt(view->currentIndex().row()))
        emit findSignalRequested(entry->id, entry->extended);
}

void StatisticsView::onContextMenu(const QPoint &pos)
{
    const QModelIndex index = view->indexAt(pos);
    if (index.isValid())
        view->setCurrentIndex(index);
    const bool onRow = statistics->entryAt(view->currentIndex().row()) != nullptr;
    onlyAction->setEnabled(onRow);
    findAction->setEnabled(onRow);
    menu->popup(view->viewport()->mapToGlobal(pos));
}

// Rates, silences and highlights depend on the time, not only on frames: repaint what is in
// sight as the clock moves on.
void StatisticsView::onTick()
{
    if (!view->isVisible())
        return;
    model->setNow(statistics->readingTime());
    hideOld();
    view->viewport()->update();
}

void StatisticsView::setNewOnly(bool on)
{
    newOnlyAction->setChecked(on);
    hideOld();
}

// Rows come and go with identifiers: the hidden ones are worked out again at each repaint.
void StatisticsView::hideOld()
{
    const bool newOnly = newOnlyAction->isChecked();
    for (int row = 0; row < model->rowCount(); ++row)
        view->setRowHidden(row, newOnly && !model->isNew(row));
}

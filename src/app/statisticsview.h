// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class DbcLoader;
class FrameFilter;
class FrameStatistics;
class QAction;
class StatisticsModel;
class QMenu;
class QPoint;
class QTableView;
class QTimer;

// The statistics page: puts the table of a FrameStatistics (through a StatisticsModel of its own)
// in a view with fading data bytes,
// a show/hide check box per identifier bound to the log's FrameFilter, and a context menu
// ("Только этот ID", "Показать все", "Скрыть все"). While the view is on screen it is repainted a
// few times a second, so rates, silences and fading bytes move on between frames; only the rows
// in sight are painted.
class StatisticsView final : public QObject
{
    Q_OBJECT

public:
    static constexpr int RepaintMs = 100;

    StatisticsView(QTableView *view, FrameStatistics *statistics, FrameFilter *filter,
                   QObject *parent = nullptr);

    StatisticsModel *tableModel() const { return model; }
    // A data format of the log (CanDataModel::Format) for the data bytes.
    void setFormat(int format);
    // Names the messages after the DBC files the loader holds, kept up to date as they change.
    void showNames(const DbcLoader *dbc);

    // What the menu's actions do; "only this" takes the view's current row.
    void showOnlyCurrent();
    void showAll();
    void hideAll();
    // Only identifiers with bits flipping outside the background ("Только новые").
    void setNewOnly(bool on);
    // "Найти сигнал..." on the current row's identifier.
    void findInCurrent();

signals:
    void findSignalRequested(quint32 id, bool extended);

private:
    QAction *addAction(const char *name, const QString &text, void (StatisticsView::*act)());
    void setColumnWidths();
    void onContextMenu(const QPoint &pos);
    void onTick();

    QTableView *view;
    FrameStatistics *statistics;
    FrameFilter *filter;
    StatisticsModel *model;
    QMenu *menu;
    QAction *onlyAction;
    QTimer *ticker;
    QAction *newOnlyAction;
    QAction *findAction;
    void hideOld();
};

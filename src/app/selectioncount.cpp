// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/selectioncount.h"

#include "app/logpager.h"

#include <QStatusBar>

SelectionCount::SelectionCount(QStatusBar *bar, const LogPager *pager, QWidget *parent)
    : QLabel(parent), pager(pager)
{
    setObjectName(QStringLiteral("lbSelectedRows"));
    bar->addPermanentWidget(this);
    connect(pager, &LogPager::selectedRowsChanged, this, &SelectionCount::showCount);
    showCount();
}

void SelectionCount::showCount()
{
    const qint64 rows = pager->selection().count();
    setText(tr("Выделено строк: %1").arg(rows));
    setVisible(rows > 0);
}

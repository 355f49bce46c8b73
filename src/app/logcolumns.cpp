// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/logcolumns.h"

#include "log/bytetext.h"
#include "log/candatamodel.h"

#include <QHeaderView>
#include <QTableView>

namespace {

constexpr int CellMargin = 12;

void setWidth(QTableView *view, int column, int width, const QString &widest)
{
    const int text = view->fontMetrics().horizontalAdvance(widest) + CellMargin;
    view->setColumnWidth(
        column, qMax(qMax(width, text), view->horizontalHeader()->sectionSizeHint(column)));
}

} // namespace

void LogColumns::fit(QTableView *view, int format)
{
    setWidth(view, CanDataModel::IdColumn, 120, QStringLiteral("0x00000000"));
    for (int column = CanDataModel::FormatColumn; column <= CanDataModel::LengthColumn; ++column)
        setWidth(view, column, 50, QStringLiteral("EFF"));
    const QString widestByte = widestLogByteText(format, view->fontMetrics());
    for (int byte = CanDataModel::FirstDataColumn; byte <= CanDataModel::LastDataColumn; ++byte)
        setWidth(view, byte, format == CanDataModel::Bin ? 80 : 35, widestByte);
    setWidth(view, CanDataModel::DirectColumn, 120, QStringLiteral("RX (CAN0->CAN1)"));
    // The time of day, or seconds since the first row of a day-long capture.
    setWidth(view, CanDataModel::TimeColumn, 150, QStringLiteral("00:00:00:000"));
    setWidth(view, CanDataModel::TimeColumn, view->columnWidth(CanDataModel::TimeColumn),
             QStringLiteral("00000.000000"));
}

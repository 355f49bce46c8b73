// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/logcolumns.h"

#include "log/bytetext.h"
#include "log/candatamodel.h"
#include "log/logpagemodel.h"

#include <QHeaderView>
#include <QTableView>

namespace {

constexpr int CellMargin = 12;
// Bytes of an FD frame the last data column shows before it elides the rest.
constexpr int RestBytes = 4;
constexpr int RestBinBytes = 2;

void setWidth(QTableView *view, int column, int width, const QString &widest)
{
    const int text = view->fontMetrics().horizontalAdvance(widest) + CellMargin;
    view->setColumnWidth(
        column, qMax(qMax(width, text), view->horizontalHeader()->sectionSizeHint(column)));
}

const CanDataModel *logOf(const QTableView *view)
{
    if (const auto *page = qobject_cast<const LogPageModel *>(view->model()))
        return page->source();
    return qobject_cast<const CanDataModel *>(view->model());
}

// Some bytes of an FD frame and the ellipsis of the rest.
QString restText(const QString &widestByte, int format)
{
    const int bytes = format == CanDataModel::Bin ? RestBinBytes : RestBytes;
    return (widestByte + QLatin1Char(' ')).repeated(bytes) + QStringLiteral("…");
}

} // namespace

void LogColumns::fit(QTableView *view, int format)
{
    const CanDataModel *log = logOf(view);
    const bool fd = log && log->hasFdRows();
    setWidth(view, CanDataModel::IdColumn, 120, QStringLiteral("0x00000000"));
    for (int column = CanDataModel::FormatColumn; column <= CanDataModel::LengthColumn; ++column)
        setWidth(view, column, 50, QStringLiteral("EFF"));
    if (fd)
        setWidth(view, CanDataModel::FormatColumn, 50, QStringLiteral("EFF FD"));
    const QString widestByte = widestLogByteText(format, view->fontMetrics());
    for (int byte = CanDataModel::FirstDataColumn; byte <= CanDataModel::LastDataColumn; ++byte)
        setWidth(view, byte, format == CanDataModel::Bin ? 80 : 35, widestByte);
    if (fd)
        setWidth(view, CanDataModel::LastDataColumn, 0, restText(widestByte, format));
    setWidth(view, CanDataModel::DirectColumn, 120, QStringLiteral("RX (CAN0->CAN1)"));
    // The time of day, or seconds since the first row of a day-long capture.
    setWidth(view, CanDataModel::TimeColumn, 150, QStringLiteral("00:00:00:000"));
    setWidth(view, CanDataModel::TimeColumn, view->columnWidth(CanDataModel::TimeColumn),
             QStringLiteral("00000.000000"));
}

void LogColumns::follow(QTableView *view, CanDataModel *log)
{
    const auto refit = [view, log] { fit(view, log->currentFormat()); };
    QObject::connect(log, &CanDataModel::fdRowsAdded, view, refit);
    QObject::connect(log, &QAbstractItemModel::modelReset, view, refit);
}

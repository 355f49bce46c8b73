// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/logpagemodel.h"

#include "log/candatamodel.h"

LogPageModel::LogPageModel(CanDataModel *source, QObject *parent)
    : QAbstractTableModel(parent), log(source)
{
    connect(log, &QAbstractItemModel::modelReset, this, [this] {
        beginResetModel();
        start = 0;
        shown = 0;
        endResetModel();
        refresh();
    });
    connect(log, &QAbstractItemModel::headerDataChanged, this,
            [this](Qt::Orientation orientation, int first, int last) {
                if (orientation == Qt::Horizontal)
                    emit headerDataChanged(orientation, first, last);
            });
    connect(log, &QAbstractItemModel::dataChanged, this, [this] {
        if (shown > 0)
            emit dataChanged(index(0, 0), index(shown - 1, columnCount() - 1));
    });
}

int LogPageModel::visibleRows() const
{
    return qBound(0, log->rowCount() - start, rows);
}

void LogPageModel::setPage(int newFirst, int newRows)
{
    const bool moved = newFirst != start;
    start = qMax(0, newFirst);
    rows = qMax(1, newRows);
    resizeTo(visibleRows());
    if (moved && shown > 0) {
        emit dataChanged(index(0, 0), index(shown - 1, columnCount() - 1));
        emit headerDataChanged(Qt::Vertical, 0, shown - 1);
    }
}

void LogPageModel::refresh()
{
    resizeTo(visibleRows());
}

// Rows come and go at the end only, so a view keeps its current row and selection.
void LogPageModel::resizeTo(int count)
{
    if (count > shown) {
        beginInsertRows(QModelIndex(), shown, count - 1);
        shown = count;
        endInsertRows();
    } else if (count < shown) {
        beginRemoveRows(QModelIndex(), count, shown - 1);
        shown = count;
        endRemoveRows();
    }
}

int LogPageModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : shown;
}

int LogPageModel::columnCount(const QModelIndex &parent) const
{
    return log->columnCount(parent);
}

QVariant LogPageModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= shown)
        return QVariant();
    return log->data(log->index(start + index.row(), index.column()), role);
}

QVariant LogPageModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return start + section + 1; // the row's place in the whole log
    return log->headerData(section, orientation, role);
}

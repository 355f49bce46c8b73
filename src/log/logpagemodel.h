// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractTableModel>

class CanDataModel;

// The rows of the log a view shows at once: a window of `pageRows` rows starting at `first`.
// A view over millions of rows costs memory per row (its header keeps every section); over a page
// it costs nothing more however long the capture runs.
class LogPageModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit LogPageModel(CanDataModel *source, QObject *parent = nullptr);

    CanDataModel *source() const { return log; }
    int first() const { return start; }
    int pageRows() const { return rows; }
    // Moves or resizes the window; rows past the end of the log are not shown.
    void setPage(int first, int pageRows);
    // Brings the shown rows up to date after the log grew.
    void refresh();
    int sourceRow(int row) const { return start + row; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    int visibleRows() const;
    void resizeTo(int count);

    CanDataModel *log;
    int start = 0;
    int rows = 1;
    int shown = 0; // rowCount() as views know it
};

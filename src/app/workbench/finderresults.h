// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/signalsearch.h"

#include <QObject>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

// The finder's table of results: a row per field, its narrower forms one click away beneath it
// (worked out when the row is opened), sortable by any column as numbers where the column holds
// numbers. A moment without a frame of the identifier near it shows as "нет кадров рядом".
class FinderResults final : public QObject
{
    Q_OBJECT

public:
    explicit FinderResults(QTreeWidget *tree, QObject *parent = nullptr);

    // `search` must outlive the rows shown, or show() be called again with none.
    void show(const SignalSearch *search, std::vector<SignalSearch::Result> rows,
              const SignalSearch::KnownBits &known, qint64 origin);
    void clear();
    int rowCount() const { return int(rows.size()); }
    // The field or form picked; null for none.
    const SignalSearch::Result *selected() const;

    static QString idText(quint32 id, bool extended);

signals:
    void selectionChanged();

private:
    struct Row
    {
        SignalSearch::Result field;
        std::vector<SignalSearch::Result> forms; // once the row was opened
        bool opened = false;
    };

    QStringList headers(qint64 origin) const;
    QTreeWidgetItem *item(const SignalSearch::Result &r, int rank, int row, int form) const;
    void open(QTreeWidgetItem *item);

    QTreeWidget *tree;
    const SignalSearch *search = nullptr;
    SignalSearch::KnownBits known;
    std::vector<Row> rows;
};

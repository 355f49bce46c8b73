// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diagnostics/diagmessage.h"

#include <QAbstractTableModel>
#include <deque>
#include <vector>

// The diagnostic messages of the "Диагностика" tab, a row each, faults in red.
class DiagnosticsModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        Time,
        Direction,
        Ids,
        Protocol,
        Address,
        Service,
        Meaning,
        ResponseTime,
        Length,
        ColumnCount
    };
    // The message's payload as upper-case hex.
    static constexpr int PayloadRole = Qt::UserRole;
    // Its first and last frame, numbered as they were fed.
    static constexpr int FirstFrameRole = Qt::UserRole + 1;
    static constexpr int LastFrameRole = Qt::UserRole + 2;

    // Rows kept: J1939 buses send groups such as EEC1 a hundred times a second, and hours of
    // them must not fill the memory. Past the limit the oldest tenth goes.
    static constexpr int DefaultMaxRows = 1000000;

    using QAbstractTableModel::QAbstractTableModel;

    void setMaxRows(int rows) { maxRows = qMax(rows, 10); }
    void append(std::vector<DiagMessage> &messages);
    void clear();
    const DiagMessage &message(int row) const { return rows[size_t(row)]; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The texts the filters look at.
    static QString protocolText(const DiagMessage &m);
    static QString addressText(const DiagMessage &m);
    // "Сервис / PGN": the service, or the group's number and name.
    static QString serviceText(const DiagMessage &m);

private:
    QVariant display(const DiagMessage &m, int column) const;
    QVariant toolTip(const DiagMessage &m, int column) const;

    void dropOldest(size_t incoming);

    std::deque<DiagMessage> rows;
    int maxRows = DefaultMaxRows;
};

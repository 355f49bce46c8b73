// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"
#include "link/timeofday.h"

#include <QAbstractTableModel>
#include <QVariantMap>
#include <QVector>
#include <memory>

class RowSnapshot;
class RowStore;
struct LogRecord;
struct TimedPacket;

// The capture log: one row per logged frame, in arrival order. Rows live in a row store (flat
// memory, older rows paged out to a private file) and are formatted only when the view asks.
//
// Rows can be published one by one (each append announces its own insertion) or, with deferred
// insertion on, staged by addPacket/addRow and published together by flushRows() with a single
// insertion notification, so a view can be refreshed at a bounded rate on a busy bus.
class CanDataModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Format { Hex = 0, Dec = 1, Char = 2, Bin = 3 };
    // What the "TIME" column shows: the time of day, or seconds since the first row with a time
    // ("TIME, s"), as the finder and the plots count.
    enum class TimeForm { OfDay, SinceFirst };
    enum Column {
        IdColumn = 0,
        FormatColumn,
        RtrColumn,
        LengthColumn,
        FirstDataColumn,
        LastDataColumn = FirstDataColumn + 7,
        DirectColumn,
        TimeColumn,
        ColumnCount
    };
    // Views count rows in int.
    static constexpr qint64 MaxRows = 0x7FFFFFFF;

    // `storeDirectory` holds the private row file; empty: the user's cache directory.
    explicit CanDataModel(QObject *parent = nullptr, const QString &storeDirectory = QString());
    ~CanDataModel() override;

    // A frame seen now, and one seen at `frame.time`.
    void addPacket(const CanPacket &packet);
    void addFrame(const TimedPacket &frame);
    void addRow(const QVariantMap &row);
    void clear();
    void setFormat(int format);
    int currentFormat() const { return format; }
    void setTimeForm(TimeForm form);
    TimeForm timeForm() const { return timeShown; }

    void setDeferredInsert(bool deferred);
    bool deferredInsert() const { return deferred; }
    // Rows stored but not yet announced to views.
    int pendingRows() const;
    // Announces every staged row with one insertion; returns how many were published.
    int flushRows();

    // The log's number ("idrow") of table row `row`; 0 for a row outside rowCount().
    int rowNumber(int row) const;

    // The frame of table row `row` with its time.
    TimedPacket frameAt(int row) const;
    // Every stored row (published and staged) as it stands now, for a save on another thread.
    RowSnapshot snapshot() const;
    const RowStore &store() const { return *rows; }
    // Whether the log holds CAN FD frames (since the last clear()).
    bool hasFdRows() const { return fdSeen; }
    // "CAN FD, BRS, ESI, длина 64": an FD frame's flags and length.
    static QString fdFlagsText(const CanPacket &packet);

    // Writes the whole log (published and staged rows) as a semicolon-separated table through a
    // temporary file; an existing file is replaced only when everything was written.
    bool saveCsv(const QString &path) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    // The first CAN FD rows were published since the log was created or cleared.
    void fdRowsAdded();

private:
    void appendRow(const TimedPacket &row, qint32 number);
    QVariant displayValue(const LogRecord &row, int column) const;
    QVariant dataValue(uint byte) const;
    QVariant restValue(int row) const;
    QVariant fdTip(int row) const;
    QVariant timeValue(qint64 time) const;
    int stored() const;

    int rowCounter = 0;
    int format = Hex;
    TimeForm timeShown = TimeForm::OfDay;
    qint64 firstTime; // of the first row with a time; TimedPacket::NoTime before it
    QVector<QString> headers;
    std::unique_ptr<RowStore> rows;
    int published = 0; // rows announced to views (rowCount)
    bool deferred = false;
    bool fdSeen = false;      // an FD frame was stored
    bool fdAnnounced = false; // fdRowsAdded() was said
    mutable TimeOfDay clock;
};

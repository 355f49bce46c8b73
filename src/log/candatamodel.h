#pragma once

#include "link/canpacket.h"

#include <QAbstractTableModel>
#include <QVariantMap>
#include <QVector>
#include <memory>
#include <vector>

class QTextStream;

// The capture log: one row per logged frame, in arrival order. Rows are stored as fixed-size
// records and formatted only when the view asks.
//
// Rows can be published one by one (each append announces its own insertion) or, with deferred
// insertion on, staged by addPacket/addRow and published together by flushRows() with a single
// insertion notification, so a view can be refreshed at a bounded rate on a busy bus.
class CanDataModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Format { Hex = 0, Dec = 1, Char = 2, Bin = 3 };

    explicit CanDataModel(QObject *parent = nullptr);
    ~CanDataModel() override;

    void addPacket(const CanPacket &packet);
    void addRow(const QVariantMap &row);
    void clear();
    void setFormat(int format);
    int currentFormat() const { return format; }

    void setDeferredInsert(bool deferred);
    bool deferredInsert() const { return deferred; }
    // Rows stored but not yet announced to views.
    int pendingRows() const;
    // Announces every staged row with one insertion; returns how many were published.
    int flushRows();

    // The log's number ("idrow") of table row `row`; 0 for a row outside rowCount().
    int rowNumber(int row) const;

    // Writes the whole log (published and staged rows) as a semicolon-separated table through a
    // temporary file; an existing file is replaced only when everything was written.
    bool saveCsv(const QString &path) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Row; // one logged frame, fixed size
    struct Column
    {
        QString key;
        QString header;
    };

    void appendRow(const Row &row);
    const Row &rowAt(int index) const;
    QVariant displayValue(const Row &row, int column) const;
    QVariant dataValue(uint byte) const;
    QString exportField(const Row &row, int column) const;
    void writeCsvRow(QTextStream &out, const Row &row) const;
    uint timeOfDay();

    int rowCounter = 0;
    int format = Hex;
    QVector<Column> columns;
    std::vector<std::unique_ptr<Row[]>> chunks; // rows in blocks, never moved once written
    int stored = 0;                             // rows held
    int published = 0;                          // rows announced to views (rowCount)
    bool deferred = false;
    qint64 zoneSecond = -1; // UTC second for which zoneOffsetMs was looked up
    qint64 zoneOffsetMs = 0;
};

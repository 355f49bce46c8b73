// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractTableModel>
#include <QPointer>

class FrameFilter;
class FrameStatistics;
class SignalSet;

// The statistics table: one row per identifier of a FrameStatistics, texts made only for the
// cells a view asks for. Rows below the last identifier are empty. The model follows the
// statistics' signals; should the statistics go first, it is left empty rather than reading them.
//
// Columns: "ID", "Length", "Number", "Packet", then the last, shortest, average and longest
// cycle in milliseconds (empty before the second frame), the frames of the last second, and the
// last data bytes in the log's data format (empty past the frame's length), and the message's
// name in the loaded DBC files ("Name", empty for a message they do not describe). Figures that
// depend on the time (rate, silence, fading) are read at now(), which the owner moves on.
//
// The "Packet" text of a CAN FD frame carries all its bytes; its tool tip adds the FD flags.
//
// With an identifier filter attached, the first column carries a check box per identifier:
// checked while the log shows its frames.
class StatisticsModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column : int {
        IdColumn,
        LengthColumn,
        CountColumn,
        PacketColumn,
        CycleColumn,
        MinCycleColumn,
        AvgCycleColumn,
        MaxCycleColumn,
        RateColumn,
        FirstByteColumn,
        LastByteColumn = FirstByteColumn + 7,
        NameColumn,
        NewColumn, // "да" when bits flipped outside the background
        ColumnCount
    };
    enum Role : int {
        // 1 just after the byte of the cell changed, fading to 0; 0 for other cells.
        HighlightRole = Qt::UserRole + 1,
    };

    StatisticsModel(const FrameStatistics *source, QObject *parent = nullptr);

    // A data format of the log (CanDataModel::Format).
    void setFormat(int format);
    int format() const { return byteFormat; }
    void setNow(qint64 now) { nowUs = now; }
    qint64 now() const { return nowUs; }
    void setIdFilter(FrameFilter *filter);
    // Where the "Name" column reads message names; the set must outlive the model.
    void setSignalSet(const SignalSet *set);
    // After the set was read again.
    void announceNames();
    // After the filter's hidden identifiers changed other than through a check box.
    void announceChecks();
    bool isSilent(int row) const;
    // Whether an identifier has bits flipping outside the background; for the "Новое" column.
    void setNewTest(std::function<bool(uint32_t id, bool extended)> test);
    bool isNew(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void follow();
    void onRowsChanged(int top, int bottom);
    void onSourceGone();
    QString text(int row, int column) const;
    QVariant checkState(int row) const;
    QString messageName(int row) const;

    QPointer<const FrameStatistics> source;
    FrameFilter *idFilter = nullptr;
    const SignalSet *names = nullptr;
    std::function<bool(uint32_t, bool)> newTest;
    int byteFormat = 0;
    qint64 nowUs = 0;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/statisticsmodel.h"

#include "analysis/framebits.h"
#include "analysis/framefilter.h"
#include "analysis/framestatistics.h"
#include "log/bytetext.h"
#include "log/candatamodel.h"
#include "signals/dbcmessage.h"
#include "signals/signalset.h"

#include <QColor>
#include <optional>

namespace {
constexpr int UsPerMs = 1000;
constexpr int MsDecimals = 1;
const QColor SilentColor(150, 150, 150);

QString headerText(int column)
{
    if (column == StatisticsModel::NewColumn) // read in the language of the moment
        return StatisticsModel::tr("Новое");
    static const QString headers[StatisticsModel::ColumnCount] = {
        QStringLiteral("ID"),
        QStringLiteral("Length"),
        QStringLiteral("Number"),
        QStringLiteral("Packet"),
        QStringLiteral("Cycle, ms"),
        QStringLiteral("Min, ms"),
        QStringLiteral("Avg, ms"),
        QStringLiteral("Max, ms"),
        QStringLiteral("Frames/s"),
        QStringLiteral("D0"),
        QStringLiteral("D1"),
        QStringLiteral("D2"),
        QStringLiteral("D3"),
        QStringLiteral("D4"),
        QStringLiteral("D5"),
        QStringLiteral("D6"),
        QStringLiteral("D7"),
        QStringLiteral("Name"),
        QString(),
    };
    return headers[column];
}

QString msText(std::optional<qint64> us)
{
    return us ? QString::number(double(*us) / UsPerMs, 'f', MsDecimals) : QString();
}

const FrameStatistics::StatEntry *entryOf(const FrameStatistics *source, int row)
{
    return source ? source->entryAt(row) : nullptr;
}

// Of the first eight: the byte columns.
int carriedBytes(const FrameStatistics::StatEntry &entry)
{
    return FrameBits::dataBytes(entry.figures.lastRemote(), entry.figures.lastLength());
}

// The last frame with every byte it carries, an FD frame's 64 included.
QString lastFrameText(const FrameStatistics::StatEntry &entry)
{
    const CanPacket last = entry.lastFrame();
    return frameText(last, last.isFd() ? last.dataLength() : carriedBytes(entry));
}

QString fdTip(const FrameStatistics::StatEntry &entry)
{
    return CanDataModel::fdFlagsText(entry.lastFrame()) + QLatin1Char('\n') + lastFrameText(entry);
}
} // namespace

StatisticsModel::StatisticsModel(const FrameStatistics *source, QObject *parent)
    : QAbstractTableModel(parent), source(source)
{
    follow();
}

void StatisticsModel::follow()
{
    const FrameStatistics *from = source.data();
    connect(from, &FrameStatistics::rowsAboutToBeInserted, this, [this](int first, int count) {
        beginInsertRows(QModelIndex(), first, first + count - 1);
    });
    connect(from, &FrameStatistics::rowsInserted, this, [this] { endInsertRows(); });
    connect(from, &FrameStatistics::rowsAboutToBeRemoved, this, [this](int first, int count) {
        beginRemoveRows(QModelIndex(), first, first + count - 1);
    });
    connect(from, &FrameStatistics::rowsRemoved, this, [this] { endRemoveRows(); });
    connect(from, &FrameStatistics::aboutToReset, this, [this] { beginResetModel(); });
    connect(from, &FrameStatistics::wasReset, this, [this] { endResetModel(); });
    connect(from, &FrameStatistics::rowsChanged, this, &StatisticsModel::onRowsChanged);
    connect(from, &FrameStatistics::readAt, this, &StatisticsModel::setNow);
    connect(from, &QObject::destroyed, this, &StatisticsModel::onSourceGone);
}

// The owner let the statistics go before the views: they see an empty table, not freed rows.
void StatisticsModel::onSourceGone()
{
    beginResetModel();
    source = nullptr;
    endResetModel();
}

void StatisticsModel::setFormat(int format)
{
    if (format == byteFormat)
        return;
    byteFormat = format;
    if (source && source->idCount() > 0)
        emit dataChanged(index(0, FirstByteColumn), index(rowCount() - 1, LastByteColumn));
}

void StatisticsModel::setIdFilter(FrameFilter *filter)
{
    idFilter = filter;
    announceChecks();
}

void StatisticsModel::announceChecks()
{
    if (rowCount() > 0)
        emit dataChanged(index(0, IdColumn), index(rowCount() - 1, IdColumn), {Qt::CheckStateRole});
}

bool StatisticsModel::isSilent(int row) const
{
    const FrameStatistics::StatEntry *entry = entryOf(source, row);
    return entry && entry->figures.isSilent(nowUs);
}

void StatisticsModel::onRowsChanged(int top, int bottom)
{
    emit dataChanged(index(top, 0), index(bottom, ColumnCount - 1));
}

int StatisticsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !source ? 0 : source->tableRows();
}

int StatisticsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant StatisticsModel::data(const QModelIndex &index, int role) const
{
    const FrameStatistics::StatEntry *entry =
        index.isValid() ? entryOf(source, index.row()) : nullptr;
    if (!entry)
        return QVariant();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), column);
    case Qt::TextAlignmentRole:
        return column == PacketColumn || column == NameColumn ? QVariant()
                                                              : QVariant(int(Qt::AlignCenter));
    case Qt::ForegroundRole:
        return entry->figures.isSilent(nowUs) ? QVariant(SilentColor) : QVariant();
    case Qt::CheckStateRole:
        return column == IdColumn ? checkState(index.row()) : QVariant();
    case Qt::ToolTipRole: // an FD frame's text rarely fits its column
        return column == PacketColumn && (entry->frame & CanPacket::Fd) ? fdTip(*entry)
                                                                        : QVariant();
    case HighlightRole:
        if (column < FirstByteColumn || column - FirstByteColumn >= carriedBytes(*entry))
            return QVariant();
        return entry->figures.highlight(column - FirstByteColumn, nowUs);
    default:
        return QVariant();
    }
}

QString StatisticsModel::text(int row, int column) const
{
    const FrameStatistics::StatEntry &entry = *entryOf(source, row);
    const IdFigures &figures = entry.figures;
    switch (column) {
    case IdColumn:
        return hexText(entry.id, 8);
    case LengthColumn:
        return hexText(entry.length, 2);
    case CountColumn:
        return QString::number(entry.count);
    case PacketColumn:
        return lastFrameText(entry);
    case CycleColumn:
        return msText(figures.lastCycle());
    case MinCycleColumn:
        return msText(figures.minCycle());
    case AvgCycleColumn:
        return msText(figures.averageCycle());
    case MaxCycleColumn:
        return msText(figures.maxCycle());
    case RateColumn:
        return QString::number(figures.framesPerSecond(nowUs), 'f', 0);
    case NameColumn:
        return messageName(row);
    case NewColumn:
        return isNew(row) ? tr("да") : QString();
    default: {
        const int byte = column - FirstByteColumn;
        return byte < carriedBytes(entry) ? logByteText(figures.lastData()[byte], byteFormat)
                                          : QString();
    }
    }
}

QString StatisticsModel::messageName(int row) const
{
    const FrameStatistics::StatEntry &entry = *entryOf(source, row);
    const DbcMessage *message = names ? names->message(entry.id, entry.extended) : nullptr;
    return message ? message->name : QString();
}

void StatisticsModel::setSignalSet(const SignalSet *set)
{
    names = set;
    announceNames();
}

void StatisticsModel::announceNames()
{
    if (rowCount() > 0)
        emit dataChanged(index(0, NameColumn), index(rowCount() - 1, NameColumn));
}

void StatisticsModel::setNewTest(std::function<bool(uint32_t, bool)> test)
{
    newTest = std::move(test);
    if (rowCount() > 0)
        emit dataChanged(index(0, NewColumn), index(rowCount() - 1, NewColumn));
}

bool StatisticsModel::isNew(int row) const
{
    const FrameStatistics::StatEntry *entry = source->entryAt(row);
    return entry && newTest && newTest(entry->id, entry->extended);
}

QVariant StatisticsModel::checkState(int row) const
{
    if (!idFilter)
        return QVariant();
    const FrameStatistics::StatEntry &entry = *entryOf(source, row);
    return idFilter->isHidden(entry.id, entry.extended) ? Qt::Unchecked : Qt::Checked;
}

bool StatisticsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const FrameStatistics::StatEntry *entry =
        index.isValid() ? entryOf(source, index.row()) : nullptr;
    if (!entry || !idFilter || role != Qt::CheckStateRole || index.column() != IdColumn)
        return false;
    idFilter->setHidden(entry->id, entry->extended, value.toInt() != Qt::Checked);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags StatisticsModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (idFilter && index.column() == IdColumn && entryOf(source, index.row()))
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant StatisticsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < ColumnCount)
        return headerText(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

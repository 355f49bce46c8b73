// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/candatamodel.h"

#include "analysis/framebits.h"
#include "capture/exportjob.h"
#include "link/timedpacket.h"
#include "log/bytetext.h"
#include "log/logrecord.h"
#include "log/rowsnapshot.h"
#include "log/rowstore.h"

#include <QDate>
#include <QDateTime>
#include <QFont>
#include <QStringList>
#include <QTime>

namespace {

const QString EffText = QStringLiteral("EFF");
const QString SffText = QStringLiteral("SFF");
const QString EffFdText = QStringLiteral("EFF FD");
const QString SffFdText = QStringLiteral("SFF FD");
const QString TxText = QStringLiteral("TX");
const QString RxText = QStringLiteral("RX");
const QString RxCan0Text = QStringLiteral("RX (CAN0->CAN1)");
const QString RxCan1Text = QStringLiteral("RX (CAN1->CAN0)");
const QString SinceFirstHeader = QStringLiteral("TIME, s");
constexpr double UsPerSecond = 1e6;

uint8_t routeBits(const QString &direct)
{
    if (direct == RxCan0Text)
        return CanPacket::Can0ToCan1;
    if (direct == RxCan1Text)
        return CanPacket::Can1ToCan0;
    return 0;
}

// A map carries only the time of day: it is taken as today's.
qint64 timeFromMap(const QVariant &value)
{
    uint ms = 0;
    if (!TimeOfDay::parse(value.toString(), &ms))
        return TimedPacket::NoTime;
    const QDateTime moment(QDate::currentDate(), QTime::fromMSecsSinceStartOfDay(int(ms)));
    return moment.toMSecsSinceEpoch() * 1000;
}

TimedPacket frameFromMap(const QVariantMap &map)
{
    const QString direct = map.value(PacketKey::Direct).toString();
    TimedPacket frame;
    frame.time = timeFromMap(map.value(PacketKey::Delay));
    CanPacket &packet = frame.packet;
    packet.id = map.value(PacketKey::Id).toUInt();
    const auto flags = map.constFind(PacketKey::Frame);
    const QString format = map.value(PacketKey::Format).toString();
    if (flags != map.cend())
        packet.frame = uint8_t(flags->toUInt());
    else
        packet.frame = uint8_t((format.startsWith(EffText) ? CanPacket::Extended : 0) |
                               (format.endsWith(QLatin1String(" FD")) ? CanPacket::Fd : 0) |
                               routeBits(direct));
    const uint length = map.value(PacketKey::Length).toUInt();
    packet.rtl = uint8_t((map.value(PacketKey::Rtr).toInt() != 0 ? 0x10 : 0) | (length & 0x0F));
    if (packet.isFd())
        packet.setFdLength(int(length));
    const int bytes = qMax(packet.dataLength(), int(CanPacket::MaxClassicBytes));
    for (int i = 0; i < bytes; ++i)
        packet.data[i] = uint8_t(map.value(PacketKey::data(i)).toUInt());
    packet.direct = direct == TxText ? CanPacket::Transmitted : CanPacket::Received;
    return frame;
}

const QString &formatText(const LogRecord &row)
{
    if (row.frame & CanPacket::Fd)
        return (row.frame & CanPacket::Extended) ? EffFdText : SffFdText;
    return (row.frame & CanPacket::Extended) ? EffText : SffText;
}

// Bytes the frame carries; those past them stay blank: a 0x00 there would read as data.
int carriedBytes(const LogRecord &row)
{
    if (row.frame & CanPacket::Fd)
        return row.length();
    return FrameBits::dataBytes((row.rtl & 0xF0) != 0, row.rtl & 0x0F);
}

const QString &directText(const LogRecord &row)
{
    // Bit 4 wins when the module sets both route bits.
    if (row.isTransmitted())
        return TxText;
    if (row.frame & CanPacket::Can0ToCan1)
        return RxCan0Text;
    return (row.frame & CanPacket::Can1ToCan0) ? RxCan1Text : RxText;
}

} // namespace

CanDataModel::CanDataModel(QObject *parent, const QString &storeDirectory)
    : QAbstractTableModel(parent), firstTime(TimedPacket::NoTime),
      rows(std::make_unique<RowStore>(storeDirectory))
{
    headers = {QStringLiteral("ID"), QStringLiteral("FF"), QStringLiteral("RTR"),
               QStringLiteral("LEN")};
    for (int i = 0; i < 8; ++i)
        headers.append(QStringLiteral("D") + QString::number(i));
    headers.append(QStringLiteral("DIR"));
    headers.append(QStringLiteral("TIME"));
}

CanDataModel::~CanDataModel() = default;

void CanDataModel::addPacket(const CanPacket &packet)
{
    addFrame({TimeOfDay::nowUsec(), packet});
}

void CanDataModel::addFrame(const TimedPacket &frame)
{
    appendRow(frame, ++rowCounter);
}

void CanDataModel::addRow(const QVariantMap &row)
{
    const QVariant number = row.value(PacketKey::Row);
    if (!number.isValid())
        return;
    appendRow(frameFromMap(row), number.toInt());
}

void CanDataModel::appendRow(const TimedPacket &row, qint32 number)
{
    if (rows->size() >= MaxRows)
        return; // the recording keeps every frame; the table stops here
    rows->append(row, number);
    fdSeen |= row.packet.isFd();
    if (firstTime == TimedPacket::NoTime)
        firstTime = row.time;
    if (!deferred)
        flushRows();
}

int CanDataModel::stored() const
{
    return int(rows->size());
}

TimedPacket CanDataModel::frameAt(int row) const
{
    return rows->frame(row);
}

RowSnapshot CanDataModel::snapshot() const
{
    return rows->snapshot();
}

void CanDataModel::clear()
{
    beginResetModel();
    rows->clear();
    published = 0;
    firstTime = TimedPacket::NoTime;
    fdSeen = false;
    fdAnnounced = false;
    endResetModel();
}

void CanDataModel::setFormat(int newFormat)
{
    if (newFormat == format)
        return;
    format = newFormat;
    if (published > 0)
        emit dataChanged(index(0, FirstDataColumn), index(published - 1, LastDataColumn),
                         {Qt::DisplayRole});
}

void CanDataModel::setTimeForm(TimeForm form)
{
    if (form == timeShown)
        return;
    timeShown = form;
    emit headerDataChanged(Qt::Horizontal, TimeColumn, TimeColumn);
    if (published > 0)
        emit dataChanged(index(0, TimeColumn), index(published - 1, TimeColumn), {Qt::DisplayRole});
}

void CanDataModel::setDeferredInsert(bool on)
{
    deferred = on;
    if (!deferred)
        flushRows();
}

int CanDataModel::pendingRows() const
{
    return stored() - published;
}

int CanDataModel::flushRows()
{
    const int count = stored() - published;
    if (count == 0)
        return 0;
    beginInsertRows(QModelIndex(), published, stored() - 1);
    published = stored();
    endInsertRows();
    if (fdSeen && !fdAnnounced) {
        fdAnnounced = true;
        emit fdRowsAdded();
    }
    return count;
}

int CanDataModel::rowNumber(int row) const
{
    return (row >= 0 && row < published) ? rows->at(row).number : 0;
}

int CanDataModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : published; // a table: cells have no children
}

int CanDataModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CanDataModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= published || index.column() >= ColumnCount)
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role == Qt::ToolTipRole)
        return fdTip(index.row());
    if (role != Qt::DisplayRole)
        return QVariant();
    const LogRecord record = rows->at(index.row());
    if (index.column() == LastDataColumn && record.hasTail())
        return restValue(index.row());
    return displayValue(record, index.column());
}

QVariant CanDataModel::displayValue(const LogRecord &row, int column) const
{
    switch (column) {
    case IdColumn:
        return hexText(row.id, 8);
    case FormatColumn:
        return formatText(row);
    case RtrColumn:
        return (row.rtl & 0xF0) != 0 ? 1 : 0;
    case LengthColumn:
        return row.length();
    case DirectColumn:
        return directText(row);
    case TimeColumn:
        return timeValue(row.time);
    default: {
        const int byte = column - FirstDataColumn;
        return byte < carriedBytes(row) ? dataValue(row.data[byte]) : QVariant();
    }
    }
}

// The last data column of an FD frame longer than eight bytes: its eighth byte and all after it,
// for the view to elide; the tool tip has them all.
QVariant CanDataModel::restValue(int row) const
{
    const CanPacket packet = rows->frame(row).packet;
    const int first = LastDataColumn - FirstDataColumn;
    return logBytesText(packet.data + first, packet.dataLength() - first, format);
}

// An FD row: its flags and every data byte, in lines that start with the first byte's column
// title. Classic rows have none.
QVariant CanDataModel::fdTip(int row) const
{
    const LogRecord record = rows->at(row);
    if (!(record.frame & CanPacket::Fd))
        return QVariant();
    const CanPacket packet = record.hasTail() ? rows->frame(row).packet : record.toFrame().packet;
    QStringList lines{fdFlagsText(packet)};
    const int shown = logByteText(0, format).isEmpty() ? int(Hex) : format;
    const int perLine = shown == Bin ? 8 : 16;
    for (int first = 0; first < packet.dataLength(); first += perLine) {
        const int count = qMin(perLine, packet.dataLength() - first);
        lines << QStringLiteral("D%1: ").arg(first) +
                     logBytesText(packet.data + first, count, shown);
    }
    return lines.join(QLatin1Char('\n'));
}

QString CanDataModel::fdFlagsText(const CanPacket &packet)
{
    QString flags = QStringLiteral("CAN FD");
    if (packet.frame & CanPacket::BitRateSwitch)
        flags += QStringLiteral(", BRS");
    if (packet.frame & CanPacket::ErrorState)
        flags += QStringLiteral(", ESI");
    return tr("%1, длина %2").arg(flags).arg(packet.length());
}

QVariant CanDataModel::timeValue(qint64 time) const
{
    if (time == TimedPacket::NoTime)
        return QVariant();
    if (timeShown == TimeForm::OfDay)
        return TimeOfDay::text(clock.msOfDay(time));
    return QString::number(double(time - firstTime) / UsPerSecond, 'f', 6);
}

QVariant CanDataModel::dataValue(uint byte) const
{
    const QString text = logByteText(byte, format);
    return text.isEmpty() ? QVariant() : QVariant(text);
}

QVariant CanDataModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QVariant();
    if (role == Qt::DisplayRole)
        return section == TimeColumn && timeShown == TimeForm::SinceFirst ? SinceFirstHeader
                                                                          : headers[section];
    if (role == Qt::FontRole)
        return QFont(QStringLiteral("Arial"), 10, QFont::Bold);
    return QVariant();
}

bool CanDataModel::saveCsv(const QString &path) const
{
    return ExportJob::writeRows(snapshot(), CaptureFormat::Table, path, nullptr);
}

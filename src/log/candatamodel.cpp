#include "log/candatamodel.h"

#include <QDateTime>
#include <QFont>
#include <QSaveFile>
#include <QTextStream>
#include <QTime>
#include <array>
#include <chrono>
#include <cstring>

namespace {

enum ColumnIndex {
    IdColumn = 0,
    FormatColumn = 1,
    RtrColumn = 2,
    LengthColumn = 3,
    FirstDataColumn = 4,
    LastDataColumn = 11,
    DirectColumn = 12,
    TimeColumn = 13,
};

constexpr int ChunkShift = 13;
constexpr int ChunkRows = 1 << ChunkShift; // 8192 rows, 192 KiB: one mapping of its own
constexpr qint64 MsPerDay = 24 * 60 * 60 * 1000;
constexpr uint NoTime = 0xFFFFFFFFu; // a row whose map carried no readable time

const QString TimeFormat = QStringLiteral("hh:mm:ss:zzz");
const QString EffText = QStringLiteral("EFF");
const QString SffText = QStringLiteral("SFF");
const QString TxText = QStringLiteral("TX");
const QString RxText = QStringLiteral("RX");
const QString RxCan0Text = QStringLiteral("RX (CAN0->CAN1)");
const QString RxCan1Text = QStringLiteral("RX (CAN1->CAN0)");

// The export writes nine hex fields per row; sharing the 256 byte texts saves most allocations.
const QString &byteText(uint8_t byte)
{
    static const std::array<QString, 256> texts = [] {
        std::array<QString, 256> all;
        for (uint i = 0; i < all.size(); ++i)
            all[i] = hexText(i, 2);
        return all;
    }();
    return texts[byte];
}

void putDigits(char *out, uint value, int width)
{
    for (int i = width - 1; i >= 0; --i, value /= 10)
        out[i] = char('0' + value % 10);
}

// "hh:mm:ss:zzz" without going through QTime's general formatter.
QString timeText(uint ms)
{
    char text[12] = {0, 0, ':', 0, 0, ':', 0, 0, ':', 0, 0, 0};
    putDigits(text, ms / 3600000, 2);
    putDigits(text + 3, ms / 60000 % 60, 2);
    putDigits(text + 6, ms / 1000 % 60, 2);
    putDigits(text + 9, ms % 1000, 3);
    return QString::fromLatin1(text, sizeof text);
}

uint parseTime(const QVariant &value)
{
    const QTime time = QTime::fromString(value.toString(), TimeFormat);
    return time.isValid() ? uint(time.msecsSinceStartOfDay()) : NoTime;
}

uint8_t routeBits(const QString &direct)
{
    if (direct == RxCan0Text)
        return CanPacket::Can0ToCan1;
    if (direct == RxCan1Text)
        return CanPacket::Can1ToCan0;
    return 0;
}

} // namespace

// 24 bytes instead of a 15-entry map: a busy bus logs millions of rows.
struct CanDataModel::Row
{
    uint32_t id;
    int32_t number; // "idrow"
    uint32_t time;  // ms since midnight, local time
    uint8_t frame;
    uint8_t rtl;
    uint8_t data[8];
    bool tx;

    static Row fromPacket(const CanPacket &packet, int number, uint time);
    static Row fromMap(const QVariantMap &map, int number);

    bool remote() const { return (rtl & 0xF0) != 0; }
    const QString &formatText() const { return (frame & CanPacket::Extended) ? EffText : SffText; }
    const QString &directText() const;
};

CanDataModel::Row CanDataModel::Row::fromPacket(const CanPacket &packet, int number, uint time)
{
    Row row;
    row.id = packet.id;
    row.number = number;
    row.time = time;
    row.frame = packet.frame;
    row.rtl = packet.rtl;
    std::memcpy(row.data, packet.data, sizeof row.data);
    row.tx = packet.direct != CanPacket::Received;
    return row;
}

CanDataModel::Row CanDataModel::Row::fromMap(const QVariantMap &map, int number)
{
    const QString direct = map.value(PacketKey::Direct).toString();
    Row row;
    row.id = map.value(PacketKey::Id).toUInt();
    row.number = number;
    row.time = parseTime(map.value(PacketKey::Delay));
    const auto frame = map.constFind(PacketKey::Frame);
    if (frame != map.cend())
        row.frame = uint8_t(frame->toUInt());
    else
        row.frame = uint8_t((map.value(PacketKey::Format).toString() == EffText ? 1 : 0) |
                            routeBits(direct));
    row.rtl = uint8_t((map.value(PacketKey::Rtr).toInt() != 0 ? 0x10 : 0) |
                      (map.value(PacketKey::Length).toUInt() & 0x0F));
    for (int i = 0; i < 8; ++i)
        row.data[i] = uint8_t(map.value(PacketKey::data(i)).toUInt());
    row.tx = direct == TxText;
    return row;
}

const QString &CanDataModel::Row::directText() const
{
    // Bit 4 wins when the module sets both route bits.
    if (tx)
        return TxText;
    if (frame & CanPacket::Can0ToCan1)
        return RxCan0Text;
    return (frame & CanPacket::Can1ToCan0) ? RxCan1Text : RxText;
}

CanDataModel::CanDataModel(QObject *parent) : QAbstractTableModel(parent)
{
    static_assert(sizeof(Row) == 24, "a log row must stay 24 bytes");
    columns = {{PacketKey::Id, QStringLiteral("ID")},
               {PacketKey::Format, QStringLiteral("FF")},
               {PacketKey::Rtr, QStringLiteral("RTR")},
               {PacketKey::Length, QStringLiteral("LEN")}};
    for (int i = 0; i < 8; ++i)
        columns.append({PacketKey::data(i), QStringLiteral("D") + QString::number(i)});
    columns.append({PacketKey::Direct, QStringLiteral("DIR")});
    columns.append({PacketKey::Delay, QStringLiteral("TIME")});
}

CanDataModel::~CanDataModel() = default;

void CanDataModel::addPacket(const CanPacket &packet)
{
    appendRow(Row::fromPacket(packet, ++rowCounter, timeOfDay()));
}

void CanDataModel::addRow(const QVariantMap &row)
{
    const QVariant number = row.value(PacketKey::Row);
    if (!number.isValid())
        return;
    appendRow(Row::fromMap(row, number.toInt()));
}

void CanDataModel::appendRow(const Row &row)
{
    if (stored == int(chunks.size()) * ChunkRows)
        chunks.emplace_back(new Row[ChunkRows]); // left uninitialised: pages are touched on use
    chunks[stored >> ChunkShift][stored & (ChunkRows - 1)] = row;
    ++stored;
    if (!deferred)
        flushRows();
}

const CanDataModel::Row &CanDataModel::rowAt(int index) const
{
    return chunks[index >> ChunkShift][index & (ChunkRows - 1)];
}

void CanDataModel::clear()
{
    beginResetModel();
    chunks.clear();
    chunks.shrink_to_fit();
    stored = 0;
    published = 0;
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

void CanDataModel::setDeferredInsert(bool on)
{
    deferred = on;
    if (!deferred)
        flushRows();
}

int CanDataModel::pendingRows() const
{
    return stored - published;
}

int CanDataModel::flushRows()
{
    const int count = stored - published;
    if (count == 0)
        return 0;
    beginInsertRows(QModelIndex(), published, stored - 1);
    published = stored;
    endInsertRows();
    return count;
}

int CanDataModel::rowNumber(int row) const
{
    return (row >= 0 && row < published) ? rowAt(row).number : 0;
}

int CanDataModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : published; // a table: cells have no children
}

int CanDataModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns.size();
}

QVariant CanDataModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= published || index.column() >= columns.size())
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    return displayValue(rowAt(index.row()), index.column());
}

QVariant CanDataModel::displayValue(const Row &row, int column) const
{
    switch (column) {
    case IdColumn:
        return hexText(row.id, 8);
    case FormatColumn:
        return row.formatText();
    case RtrColumn:
        return row.remote() ? 1 : 0;
    case LengthColumn:
        return row.rtl & 0x0F;
    case DirectColumn:
        return row.directText();
    case TimeColumn:
        return row.time == NoTime ? QVariant() : timeText(row.time);
    default:
        return dataValue(row.data[column - FirstDataColumn]);
    }
}

QVariant CanDataModel::dataValue(uint byte) const
{
    switch (format) {
    case Hex:
        return hexByteText(byte);
    case Dec:
        return int(byte);
    case Char:
        return QChar(byte);
    case Bin:
        return QStringLiteral("0b") + QString::number(byte, 2).rightJustified(8, QLatin1Char('0'));
    default:
        return QVariant();
    }
}

QVariant CanDataModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columns.size())
        return QVariant();
    if (role == Qt::DisplayRole)
        return columns[section].header;
    if (role == Qt::FontRole)
        return QFont(QStringLiteral("Arial"), 10, QFont::Bold);
    return QVariant();
}

// The table's own text, but data bytes always in hex whatever the display form.
QString CanDataModel::exportField(const Row &row, int column) const
{
    if (column >= FirstDataColumn && column <= LastDataColumn)
        return byteText(row.data[column - FirstDataColumn]);
    return displayValue(row, column).toString();
}

void CanDataModel::writeCsvRow(QTextStream &out, const Row &row) const
{
    for (int column = 0; column < columns.size(); ++column)
        out << exportField(row, column) << ';';
    out << '\n';
}

bool CanDataModel::saveCsv(const QString &path) const
{
    // QSaveFile writes to a temporary file and renames it over `path` only on commit.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out.setCodec("UTF-8");
    for (const Column &column : columns)
        out << '[' << column.header << "];";
    out << '\n';
    for (int row = 0; row < stored && out.status() == QTextStream::Ok; ++row)
        writeCsvRow(out, rowAt(row));
    out.flush();
    return out.status() == QTextStream::Ok && file.commit();
}

uint CanDataModel::timeOfDay()
{
    // Reading the realtime clock is cheap; the time-zone lookup behind QTime::currentTime() is
    // not, so the local offset is looked up once per wall-clock second. Zone changes fall on
    // whole seconds, so the result still equals QTime::currentTime() to the millisecond.
    using namespace std::chrono;
    const qint64 utcMs =
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    const qint64 second = utcMs / 1000;
    if (second != zoneSecond) {
        zoneSecond = second;
        zoneOffsetMs = qint64(QDateTime::fromSecsSinceEpoch(second).offsetFromUtc()) * 1000;
    }
    const qint64 local = (utcMs + zoneOffsetMs) % MsPerDay;
    return uint(local < 0 ? local + MsPerDay : local);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/diagnosticsmodel.h"

#include "diagnostics/diagdecoder.h"
#include "diagnostics/j1939meaning.h"
#include "diagnostics/obdmeaning.h"

#include <QBrush>
#include <QDateTime>
#include <algorithm>

namespace {

const char *const Headers[] = {QT_TRANSLATE_NOOP("DiagnosticsModel", "Время"),
                               QT_TRANSLATE_NOOP("DiagnosticsModel", "Направление"),
                               QT_TRANSLATE_NOOP("DiagnosticsModel", "Идентификаторы"),
                               QT_TRANSLATE_NOOP("DiagnosticsModel", "Протокол"),
                               QT_TRANSLATE_NOOP("DiagnosticsModel", "Адреса"),
                               QT_TRANSLATE_NOOP("DiagnosticsModel", "Сервис / PGN"),
                               QT_TRANSLATE_NOOP("DiagnosticsModel", "Содержание"),
                               QT_TRANSLATE_NOOP("DiagnosticsModel", "Ответ, мс"),
                               QT_TRANSLATE_NOOP("DiagnosticsModel", "Длина")};

QString idText(const DiagMessage &m)
{
    return QStringLiteral("0x") +
           QString::number(m.id, 16).toUpper().rightJustified(m.extended ? 8 : 3, '0');
}

QString directionText(const DiagMessage &m)
{
    // A J1939 Request and the group it asked for read as request and response.
    if (m.isJ1939() && (DiagDecoder::isGroupRequest(m) || m.responseTime >= 0))
        return DiagDecoder::isGroupRequest(m) ? DiagnosticsModel::tr("Запрос")
                                              : DiagnosticsModel::tr("Ответ");
    if (m.isJ1939())
        return m.functional ? DiagnosticsModel::tr("Рассылка") : DiagnosticsModel::tr("Сообщение");
    return DiagDecoder::isResponse(m) ? DiagnosticsModel::tr("Ответ")
                                      : DiagnosticsModel::tr("Запрос");
}

} // namespace

void DiagnosticsModel::append(std::vector<DiagMessage> &messages)
{
    if (messages.empty())
        return;
    dropOldest(messages.size());
    if (messages.size() > size_t(maxRows)) // more at once than is kept: only the newest
        messages.erase(messages.begin(), messages.end() - maxRows);
    const int first = int(rows.size());
    beginInsertRows(QModelIndex(), first, first + int(messages.size()) - 1);
    for (DiagMessage &m : messages)
        rows.push_back(std::move(m));
    endInsertRows();
    messages.clear();
}

void DiagnosticsModel::dropOldest(size_t incoming)
{
    if (rows.size() + incoming <= size_t(maxRows))
        return;
    const size_t room = std::max(size_t(maxRows) / 10, rows.size() + incoming - size_t(maxRows));
    const int count = int(std::min(room, rows.size()));
    if (count == 0)
        return;
    beginRemoveRows(QModelIndex(), 0, count - 1);
    rows.erase(rows.begin(), rows.begin() + count);
    endRemoveRows();
}

void DiagnosticsModel::clear()
{
    beginResetModel();
    rows.clear();
    endResetModel();
}

int DiagnosticsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows.size());
}

int DiagnosticsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString DiagnosticsModel::protocolText(const DiagMessage &m)
{
    if (m.isJ1939()) // as the converter writes it: "J1939-TP" for a message joined from packets
        return QLatin1String(DiagWords::protocol(m.protocol));
    const int sid = DiagDecoder::serviceOf(m);
    return sid >= 0 && ObdMeaning::isObd(uint8_t(sid)) ? QStringLiteral("OBD-II")
                                                       : QStringLiteral("UDS");
}

QString DiagnosticsModel::addressText(const DiagMessage &m)
{
    auto hex = [](int a) { return QString::number(a, 16).toUpper().rightJustified(2, '0'); };
    if (m.source >= 0 && m.target >= 0)
        return hex(m.source) + QStringLiteral(" → ") + hex(m.target);
    return m.target >= 0 ? QStringLiteral("→ ") + hex(m.target) : QString();
}

// A parameter group's number beside its name, first, so a narrow column still shows it.
QString DiagnosticsModel::serviceText(const DiagMessage &m)
{
    if (!m.isJ1939() || !m.hasPgn() || !J1939Meaning::isKnown(m.pgn))
        return DiagDecoder::serviceName(m);
    return QStringLiteral("%1 · %2").arg(m.pgn).arg(DiagDecoder::serviceName(m));
}

QVariant DiagnosticsModel::display(const DiagMessage &m, int column) const
{
    switch (column) {
    case Time:
        return QDateTime::fromMSecsSinceEpoch(m.time / 1000)
            .toString(QStringLiteral("HH:mm:ss.zzz"));
    case Direction:
        return directionText(m);
    case Ids:
        return idText(m);
    case Protocol:
        return protocolText(m);
    case Address:
        return addressText(m);
    case Service:
        return serviceText(m);
    case Meaning:
        return m.ok() ? DiagDecoder::describe(m)
                      : tr("ошибка: %1").arg(QLatin1String(DiagWords::status(m.status)));
    case ResponseTime:
        return m.responseTime >= 0
                   ? QVariant(QString::number(double(m.responseTime) / 1000.0, 'f', 1))
                   : QVariant();
    case Length:
        return m.payload.size();
    default:
        return {};
    }
}

QVariant DiagnosticsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows.size()))
        return {};
    const DiagMessage &m = rows[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return display(m, index.column());
    case Qt::ToolTipRole:
        return toolTip(m, index.column());
    case Qt::ForegroundRole:
        return m.ok() ? QVariant() : QVariant(QBrush(Qt::red));
    case PayloadRole:
        return QString::fromLatin1(m.payload.toHex().toUpper());
    case FirstFrameRole:
        return m.firstFrame;
    case LastFrameRole:
        return m.lastFrame;
    default:
        return {};
    }
}

QVariant DiagnosticsModel::toolTip(const DiagMessage &m, int column) const
{
    if (column == Meaning)
        return display(m, Meaning);
    // A long group name is cut in the column: whole here, with the number in hex too.
    if (column == Service && m.isJ1939() && m.hasPgn())
        return QStringLiteral("%1\nPGN %2 (0x%3)")
            .arg(serviceText(m))
            .arg(m.pgn)
            .arg(QString::number(m.pgn, 16).toUpper().rightJustified(4, QLatin1Char('0')));
    return {};
}

QVariant DiagnosticsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    return tr(Headers[section]);
}

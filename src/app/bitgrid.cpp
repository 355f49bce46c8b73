// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/bitgrid.h"

#include "analysis/bitactivity.h"
#include "signals/signallayout.h"

#include <QDateTime>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace {

constexpr int ClassicBytes = 8;
constexpr int BitsPerByte = 8;
constexpr int BlockBits = 64;
constexpr int MaxBytes = 64;
const QColor BackgroundGrey(200, 200, 200);
const QColor NewFlip(255, 120, 0);
const QColor BeyondLength(235, 235, 235);
const QColor Selection(40, 110, 230);

QString timeText(qint64 usec)
{
    return QDateTime::fromMSecsSinceEpoch(usec / 1000).toString(QStringLiteral("HH:mm:ss.zzz"));
}

} // namespace

BitGrid::BitGrid(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(false);
    setMinimumSize(sizeHint());
}

QSize BitGrid::sizeHint() const
{
    return {labelWidth + BitsPerByte * Cell + HexWidth + WordWidth, HeaderHeight + rows * Cell};
}

void BitGrid::setActivity(const BitActivity *a, quint64 bg, bool hasBg)
{
    if (a)
        setActivity({*a}, {bg}, hasBg, ClassicBytes);
    else
        setActivity({}, {}, hasBg, ClassicBytes);
}

void BitGrid::setActivity(std::vector<BitActivity> blocks, std::vector<quint64> bg, bool hasBg,
                          int bytes)
{
    shown = std::move(blocks);
    background = std::move(bg);
    background.resize(shown.size());
    hasBackground = hasBg;
    const int wanted = std::clamp(bytes, ClassicBytes, MaxBytes);
    if (wanted != rows) {
        rows = wanted;
        // "Байт 9" fits the classic width; two digits may not.
        labelWidth =
            rows <= 10 ? MinLabelWidth
                       : std::max(int(MinLabelWidth),
                                  fontMetrics().horizontalAdvance(tr("Байт %1").arg(rows - 1)) + 6);
        setMinimumSize(sizeHint());
        updateGeometry();
    }
    update();
}

const BitActivity *BitGrid::blockOf(int bit) const
{
    const size_t block = size_t(bit / BlockBits);
    return bit >= 0 && block < shown.size() ? &shown[block] : nullptr;
}

// Whether the newest frame carried the byte.
bool BitGrid::carried(int byte) const
{
    const BitActivity *a = blockOf(byte * BitsPerByte);
    return a && byte % BitsPerByte < a->length;
}

void BitGrid::setOutlines(const QVector<Outline> &list)
{
    outlines = list;
    update();
}

void BitGrid::clearSelection()
{
    fromBit = toBit = -1;
    update();
    emit selectionChanged();
}

QRect BitGrid::cellRect(int bit) const
{
    const int byte = bit / BitsPerByte;
    const int column = BitsPerByte - 1 - bit % BitsPerByte;
    return {labelWidth + column * Cell, HeaderHeight + byte * Cell, Cell, Cell};
}

int BitGrid::bitAt(const QPoint &pos) const
{
    const int column = (pos.x() - labelWidth) / Cell;
    const int byte = (pos.y() - HeaderHeight) / Cell;
    if (pos.x() < labelWidth || pos.y() < HeaderHeight || column >= BitsPerByte || byte >= rows)
        return -1;
    return byte * BitsPerByte + (BitsPerByte - 1 - column);
}

// Heat from white (never flipped) to red (flipped every frame); the square root lets a bit
// that flips now and then still show.
QColor BitGrid::cellColour(int bit) const
{
    const BitActivity &a = *blockOf(bit);
    const quint64 bg = background[size_t(bit / BlockBits)];
    const quint64 mask = quint64(1) << (bit % BlockBits);
    if (hasBackground && (a.changed & ~bg & mask))
        return NewFlip;
    if (hasBackground && (bg & mask))
        return BackgroundGrey;
    const double comparisons = double(std::max<quint64>(a.frames, 2) - 1);
    const double heat = std::min(1.0, a.flips[size_t(bit % BlockBits)] / comparisons);
    return QColor::fromHsvF(0, heat > 0 ? 0.15 + 0.85 * std::sqrt(heat) : 0, 1);
}

bool BitGrid::selected(int bit) const
{
    return fromBit >= 0 && selectedBits().contains(bit);
}

QVector<int> BitGrid::selectedBits() const
{
    if (fromBit < 0)
        return {};
    int start = 0;
    int length = 0;
    DbcSignal::ByteOrder order = DbcSignal::ByteOrder::Intel;
    SignalLayout::fromDrag(fromBit, toBit, &start, &length, &order);
    return SignalLayout::bits(start, length, order);
}

QString BitGrid::behaviourText(const BitActivity &a, int byte)
{
    if (byte >= a.length)
        return QString();
    switch (a.behaviour(byte)) {
    case BitActivity::Behaviour::Constant:
        return tr("постоянный");
    case BitActivity::Behaviour::Counter:
        return tr("счётчик");
    case BitActivity::Behaviour::Changing:
        break;
    }
    return tr("меняется");
}

void BitGrid::paintHeader(QPainter &painter) const
{
    for (int column = 0; column < BitsPerByte; ++column)
        painter.drawText(QRect(labelWidth + column * Cell, 0, Cell, HeaderHeight), Qt::AlignCenter,
                         QString::number(BitsPerByte - 1 - column));
}

void BitGrid::paintByte(QPainter &painter, int byte) const
{
    const int top = HeaderHeight + byte * Cell;
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(0, top, labelWidth - 4, Cell), Qt::AlignVCenter | Qt::AlignRight,
                     tr("Байт %1").arg(byte));
    const bool present = carried(byte);
    const BitActivity *a = blockOf(byte * BitsPerByte);
    for (int b = byte * BitsPerByte; b < (byte + 1) * BitsPerByte; ++b) {
        const QRect cell = cellRect(b);
        painter.fillRect(cell, present ? cellColour(b) : BeyondLength);
        if (selected(b))
            painter.fillRect(cell.adjusted(2, 2, -2, -2),
                             QColor(Selection.red(), Selection.green(), Selection.blue(), 90));
        painter.setPen(Qt::lightGray);
        painter.drawRect(cell.adjusted(0, 0, -1, -1));
        if (present) {
            painter.setPen(Qt::black);
            painter.drawText(cell, Qt::AlignCenter, a->bit(b % BlockBits) ? "1" : "0");
        }
    }
    if (!present)
        return;
    painter.setPen(palette().color(QPalette::WindowText));
    const int right = labelWidth + BitsPerByte * Cell + 6;
    painter.drawText(
        QRect(right, top, HexWidth, Cell), Qt::AlignVCenter,
        QStringLiteral("%1").arg(a->byte(byte % BitsPerByte), 2, 16, QLatin1Char('0')).toUpper());
    painter.drawText(QRect(right + HexWidth, top, WordWidth, Cell), Qt::AlignVCenter,
                     behaviourText(*a, byte % BitsPerByte));
}

// Each signal's cells get a frame of its colour; a thick line only where the neighbour is not
// part of the same signal, so a signal reads as one shape.
void BitGrid::paintOutlines(QPainter &painter) const
{
    for (const Outline &o : outlines) {
        painter.setPen(QPen(o.colour, 3));
        for (const int bit : o.bits) {
            if (bit >= rows * BitsPerByte)
                continue;
            const QRect r = cellRect(bit).adjusted(1, 1, -2, -2);
            const auto has = [&](int other, bool sameRow) {
                return other >= 0 && other < rows * BitsPerByte &&
                       (!sameRow || other / 8 == bit / 8) && o.bits.contains(other);
            };
            if (!has(bit + 1, true))
                painter.drawLine(r.topLeft(), r.bottomLeft());
            if (!has(bit - 1, true))
                painter.drawLine(r.topRight(), r.bottomRight());
            if (!has(bit - BitsPerByte, false))
                painter.drawLine(r.topLeft(), r.topRight());
            if (!has(bit + BitsPerByte, false))
                painter.drawLine(r.bottomLeft(), r.bottomRight());
        }
    }
}

void BitGrid::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintHeader(painter);
    for (int byte = 0; byte < rows; ++byte)
        paintByte(painter, byte);
    paintOutlines(painter);
}

void BitGrid::mousePressEvent(QMouseEvent *event)
{
    const int bit = bitAt(event->pos());
    if (event->button() != Qt::LeftButton)
        return;
    fromBit = toBit = bit;
    if (bit < 0)
        fromBit = -1;
    update();
    emit selectionChanged();
}

void BitGrid::mouseMoveEvent(QMouseEvent *event)
{
    const int bit = bitAt(event->pos());
    if (!(event->buttons() & Qt::LeftButton) || fromBit < 0 || bit < 0 || bit == toBit)
        return;
    toBit = bit;
    update();
    emit selectionChanged();
}

QString BitGrid::cellToolTip(int bit) const
{
    if (bit < 0 || !carried(bit / BitsPerByte))
        return QString();
    const BitActivity &a = *blockOf(bit);
    const size_t local = size_t(bit % BlockBits);
    QStringList lines{tr("Байт %1, бит %2").arg(bit / 8).arg(bit % 8),
                      tr("Переключений: %1, кадров: %2").arg(a.flips[local]).arg(a.frames)};
    if (a.flips[local] > 0)
        lines << tr("Последнее: %1").arg(timeText(a.lastFlip[local]));
    for (const Outline &o : outlines) {
        if (o.bits.contains(bit))
            lines << tr("Сигнал: %1").arg(o.name);
    }
    return lines.join(QLatin1Char('\n'));
}

bool BitGrid::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const QString text = cellToolTip(bitAt(help->pos()));
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, this);
    return true;
}

void BitGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    const int bit = bitAt(event->pos());
    if (bit >= 0)
        emit cellActivated(bit);
}

QString BitGrid::signalAt(int bit) const
{
    for (const Outline &o : outlines) {
        if (o.bits.contains(bit))
            return o.name;
    }
    return QString();
}

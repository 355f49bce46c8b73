// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/bitactivity.h"

#include <QColor>
#include <QVector>
#include <QWidget>
#include <vector>

// The grid of a frame's data bits: a row per byte, bit 7 on the left as DBC files number them;
// eight rows, or as many as the longest CAN FD frame of the identifier carried (up to 64). A cell
// shows the bit in the newest frame over a heat colour for how often it flipped; bits of the
// background are grey and new flips bright. DBC signals are outlined, one colour each. Dragging
// across cells selects the bits of the signal the drag makes: its byte order follows the direction
// (see SignalLayout::fromDrag).
class BitGrid final : public QWidget
{
    Q_OBJECT

public:
    struct Outline
    {
        QString name;
        QVector<int> bits; // DBC bit numbers
        QColor colour;
    };

    explicit BitGrid(QWidget *parent = nullptr);

    // What to draw (copied): bytes 0..7 of a frame; null draws an empty grid. `background`
    // greys bits while `hasBackground`.
    void setActivity(const BitActivity *activity, quint64 background, bool hasBackground);
    // The blocks of eight bytes of an identifier's frames (BitFlipCounter::activity(key,
    // block)), block 0 first, each with its background, on `bytes` rows (8..64).
    void setActivity(std::vector<BitActivity> blocks, std::vector<quint64> background,
                     bool hasBackground, int bytes);
    int byteRows() const { return rows; }
    void setOutlines(const QVector<Outline> &outlines);
    // The cells dragged across, as DBC bit numbers; -1 while there is no selection.
    int selectionFrom() const { return fromBit; }
    int selectionTo() const { return toBit; }
    // The bits of the signal the drag makes, as DBC numbers them.
    QVector<int> selectedBits() const;
    void clearSelection();

    QSize sizeHint() const override;
    // The text of a byte's behaviour, and of a cell's tooltip (also for tests).
    static QString behaviourText(const BitActivity &activity, int byte);
    QString cellToolTip(int bit) const;

    // The name of the signal outlined on `bit`, or empty.
    QString signalAt(int bit) const;
    // Where the cell of `bit` is drawn.
    QRect cellRect(int bit) const;

signals:
    void selectionChanged();
    void cellActivated(int bit); // double click

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;

private:
    static constexpr int Cell = 28;
    static constexpr int MinLabelWidth = 64;
    static constexpr int HeaderHeight = 20;
    static constexpr int HexWidth = 40;
    static constexpr int WordWidth = 130;

    std::vector<BitActivity> shown; // per block of eight bytes; none: nothing to show
    std::vector<quint64> background;
    bool hasBackground = false;
    int rows = 8;
    int labelWidth = MinLabelWidth; // room for the longest byte label
    QVector<Outline> outlines;
    int fromBit = -1;
    int toBit = -1;

    const BitActivity *blockOf(int bit) const;
    bool carried(int byte) const;
    int bitAt(const QPoint &pos) const;
    QColor cellColour(int bit) const;
    void paintHeader(QPainter &painter) const;
    void paintByte(QPainter &painter, int byte) const;
    void paintOutlines(QPainter &painter) const;
    bool selected(int bit) const;
};

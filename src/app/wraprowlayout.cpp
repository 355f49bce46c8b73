// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/wraprowlayout.h"

#include <QLabel>
#include <QStyle>
#include <QWidget>

WrapRowLayout::WrapRowLayout(QWidget *parent) : QLayout(parent)
{
}

WrapRowLayout::~WrapRowLayout()
{
    qDeleteAll(items);
}

WrapRowLayout *WrapRowLayout::replaceIn(QWidget *box)
{
    QLayout *old = box->layout();
    QVector<QLayoutItem *> taken;
    int spacing = -1;
    QMargins margins;
    if (old) {
        spacing = old->spacing();
        margins = old->contentsMargins();
        while (QLayoutItem *item = old->takeAt(0))
            taken.append(item);
        delete old;
    }
    auto *row = new WrapRowLayout(box);
    row->setSpacing(spacing);
    row->setContentsMargins(margins);
    for (QLayoutItem *item : taken)
        row->addItem(item);
    return row;
}

void WrapRowLayout::addItem(QLayoutItem *item)
{
    items.append(item);
    invalidate();
}

QLayoutItem *WrapRowLayout::itemAt(int index) const
{
    return index >= 0 && index < items.size() ? items.at(index) : nullptr;
}

QLayoutItem *WrapRowLayout::takeAt(int index)
{
    if (index < 0 || index >= items.size())
        return nullptr;
    invalidate();
    return items.takeAt(index);
}

int WrapRowLayout::gap() const
{
    if (spacing() >= 0)
        return spacing();
    const QWidget *owner = parentWidget();
    return owner ? owner->style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing, nullptr, owner)
                 : 6;
}

QVector<WrapRowLayout::Piece> WrapRowLayout::pieces() const
{
    QVector<Piece> all;
    bool glued = false; // the previous control was a label
    for (QLayoutItem *item : items) {
        if (QSpacerItem *spacer = item->spacerItem()) {
            Piece piece;
            piece.parts = {item};
            piece.flex = spacer->expandingDirections() & Qt::Horizontal;
            piece.gap = !piece.flex;
            all.append(piece);
            glued = false;
        } else if (!item->isEmpty()) {
            if (!glued)
                all.append(Piece());
            all.last().parts.append(item);
            glued = qobject_cast<QLabel *>(item->widget()) != nullptr;
        }
    }
    return all;
}

int WrapRowLayout::pieceWidth(const Piece &piece) const
{
    if (piece.flex)
        return 0;
    int width = gap() * (piece.parts.size() - 1);
    for (const QLayoutItem *item : piece.parts)
        width += item->sizeHint().width();
    return width;
}

// The width of the pieces from `from` up to the next expanding spacer: a group that moves as one.
int WrapRowLayout::runWidth(const QVector<Piece> &all, int from) const
{
    int width = 0;
    for (int i = from; i < all.size() && (i == from || !all[i].flex); ++i)
        width += pieceWidth(all[i]) + (all[i].flex ? 0 : gap());
    return width - gap();
}

QVector<WrapRowLayout::Line> WrapRowLayout::breakLines(const QVector<Piece> &all, int width) const
{
    QVector<Line> lines(1);
    for (int i = 0; i < all.size(); ++i) {
        Line *line = &lines.last();
        const bool started = !line->pieces.isEmpty() && line->used > 0;
        const int need = all[i].flex ? runWidth(all, i) : pieceWidth(all[i]);
        if (started && line->used + gap() + need > width) {
            lines.append(Line());
            line = &lines.last();
        }
        if (all[i].gap && line->used == 0)
            continue; // nothing to keep apart at the start of a line
        if (!all[i].flex)
            line->used += (line->used > 0 ? gap() : 0) + pieceWidth(all[i]);
        line->flexes += all[i].flex ? 1 : 0;
        line->pieces.append(i);
    }
    return lines;
}

int WrapRowLayout::lineHeight(const QVector<Piece> &all, const Line &line) const
{
    int height = 0;
    for (const int i : line.pieces) {
        for (const QLayoutItem *item : all[i].parts)
            height = qMax(height, item->sizeHint().height());
    }
    return height;
}

// Lays one line out in `area` and returns its height; a line that is too long is squeezed
// towards the controls' minimum widths.
int WrapRowLayout::place(const QVector<Piece> &all, const Line &line, const QRect &area)
{
    const int height = lineHeight(all, line);
    const int extra = area.width() - line.used;
    int slack = 0; // how far the controls of the line can shrink
    for (const int i : line.pieces) {
        for (const QLayoutItem *item : all[i].parts)
            slack += all[i].flex ? 0 : item->sizeHint().width() - item->minimumSize().width();
    }
    int x = area.x();
    bool first = true;
    for (const int i : line.pieces) {
        if (all[i].flex) {
            x += qMax(0, extra) / line.flexes;
            continue;
        }
        for (QLayoutItem *item : all[i].parts) {
            x += first ? 0 : gap();
            first = false;
            const QSize hint = item->sizeHint();
            const int cut = extra >= 0 || slack == 0
                                ? 0
                                : -extra * (hint.width() - item->minimumSize().width()) / slack;
            const int h = qMin(height, item->maximumSize().height());
            item->setGeometry(QRect(x, area.y() + (height - h) / 2, hint.width() - cut, h));
            x += hint.width() - cut;
        }
    }
    return height;
}

void WrapRowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    const QRect area = rect.marginsRemoved(contentsMargins());
    const QVector<Piece> all = pieces();
    int y = area.y();
    for (const Line &line : breakLines(all, area.width()))
        y += place(all, line, QRect(area.x(), y, area.width(), 0)) + gap();
}

int WrapRowLayout::lineCount(int width) const
{
    const QMargins m = contentsMargins();
    return breakLines(pieces(), width - m.left() - m.right()).size();
}

int WrapRowLayout::heightForWidth(int width) const
{
    const QMargins m = contentsMargins();
    const QVector<Piece> all = pieces();
    int height = 0;
    for (const Line &line : breakLines(all, width - m.left() - m.right()))
        height += lineHeight(all, line) + gap();
    return height - gap() + m.top() + m.bottom();
}

QSize WrapRowLayout::sizeHint() const
{
    const QMargins m = contentsMargins();
    const QVector<Piece> all = pieces();
    const Line line = breakLines(all, QWIDGETSIZE_MAX).first();
    return QSize(line.used + m.left() + m.right(), lineHeight(all, line) + m.top() + m.bottom());
}

// As narrow as the widest control with its label; as high as one line, the rest being asked
// through heightForWidth().
QSize WrapRowLayout::minimumSize() const
{
    const QMargins m = contentsMargins();
    int width = 0;
    int height = 0;
    for (const Piece &piece : pieces()) {
        int own = gap() * (piece.parts.size() - 1);
        for (const QLayoutItem *item : piece.parts) {
            own += item->minimumSize().width();
            height = qMax(height, item->minimumSize().height());
        }
        width = qMax(width, piece.flex || piece.gap ? 0 : own);
    }
    return QSize(width + m.left() + m.right(), height + m.top() + m.bottom());
}

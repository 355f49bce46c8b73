// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/bytefadedelegate.h"

#include <QPainter>

namespace {
const QColor ChangedColor(255, 170, 0); // amber: visible on light and dark rows
constexpr int OpaqueAlpha = 255;
} // namespace

ByteFadeDelegate::ByteFadeDelegate(int role, QObject *parent)
    : QStyledItemDelegate(parent), role(role)
{
}

QColor ByteFadeDelegate::fadeColor(double highlight)
{
    if (!(highlight > 0.0))
        return QColor();
    QColor color = ChangedColor;
    color.setAlpha(qBound(1, int(highlight * OpaqueAlpha + 0.5), OpaqueAlpha));
    return color;
}

void ByteFadeDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const
{
    const QColor background = fadeColor(index.data(role).toDouble());
    if (background.isValid())
        painter->fillRect(option.rect, background);
    QStyledItemDelegate::paint(painter, option, index);
}

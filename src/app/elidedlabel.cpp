// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/elidedlabel.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>
#include <QtMath>

namespace {
// Enough to tell "…" from an empty field and see how a text begins and ends.
const QString FloorSample = QStringLiteral("ab…yz");
} // namespace

ElidedLabel::ElidedLabel(Rank rank, QWidget *parent) : ElidedLabel(QString(), rank, parent)
{
}

ElidedLabel::ElidedLabel(const QString &text, Rank rank, QWidget *parent)
    : QLabel(parent), order(rank)
{
    setTextFormat(Qt::PlainText);
    setText(text);
}

int ElidedLabel::fullWidth() const
{
    // The label's own hint may round the text's width down; elidedText() would then cut it.
    const int frame = width() - textRect().width();
    const int text = qCeil(QFontMetricsF(font()).horizontalAdvance(QLabel::text()));
    return qMax(QLabel::sizeHint().width(), text + frame);
}

int ElidedLabel::floorWidth() const
{
    const int frame = width() - textRect().width();
    return qMin(fullWidth(), fontMetrics().horizontalAdvance(FloorSample) + frame);
}

void ElidedLabel::setGrantedWidth(int width)
{
    if (width == granted)
        return;
    const int before = sizeHint().width();
    granted = width;
    if (sizeHint().width() != before)
        updateGeometry();
}

QString ElidedLabel::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, textRect().width());
}

QSize ElidedLabel::sizeHint() const
{
    QSize size = QLabel::sizeHint();
    size.setWidth(fullWidth());
    if (granted >= 0)
        size.setWidth(qMax(floorWidth(), qMin(size.width(), granted)));
    return size;
}

QSize ElidedLabel::minimumSizeHint() const
{
    return QSize(floorWidth(), QLabel::minimumSizeHint().height());
}

bool ElidedLabel::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip)
        syncToolTip(); // the text may have changed since the last paint
    return QLabel::event(event);
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    syncToolTip();
    QPainter painter(this);
    drawFrame(&painter);
    const int align = QStyle::visualAlignment(layoutDirection(), alignment());
    style()->drawItemText(&painter, textRect(), align, palette(), isEnabled(), shownText(),
                          foregroundRole());
}

QRect ElidedLabel::textRect() const
{
    const int m = margin();
    return contentsRect().adjusted(m, m, -m, -m);
}

void ElidedLabel::syncToolTip()
{
    if (!toolTip().isEmpty() && toolTip() != ownTip)
        return; // a tip of the owner's says more than the text
    ownTip = isElided() ? text() : QString();
    if (toolTip() != ownTip)
        setToolTip(ownTip);
}

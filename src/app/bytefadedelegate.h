// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

// Paints a cell over a background that fades with the cell's highlight (a number from 1 just
// after a change down to 0, read from `role`): a changed data byte lights up and fades back to
// plain. Cells without a highlight are painted as usual. The delegate keeps no time of its own;
// whoever repaints the view moves the highlights on.
class ByteFadeDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit ByteFadeDelegate(int role, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

    // The background for a highlight (0..1); invalid for 0.
    static QColor fadeColor(double highlight);

private:
    int role;
};

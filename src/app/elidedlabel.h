// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

// A status bar field that never decides the window's width: text that does not fit is elided in
// the middle (the ends of a port path or a file name say the most), the whole text then being
// the tool tip (unless the field has a tool tip of its own). text() stays the whole text. The field
// asks for its whole width unless StatusFields grants it less, and can shrink to a few characters.
class ElidedLabel final : public QLabel
{
    Q_OBJECT

public:
    // Which fields keep their text longest when the bar is short: a lower rank goes first.
    enum Rank { StateRank = 0, FlowRank = 1, RecordRank = 2 };

    explicit ElidedLabel(QWidget *parent = nullptr) : ElidedLabel(StateRank, parent) {}
    explicit ElidedLabel(Rank rank, QWidget *parent = nullptr);
    ElidedLabel(const QString &text, Rank rank, QWidget *parent = nullptr);

    Rank rank() const { return order; }
    // The width the whole text needs, and the least the field ever shrinks to.
    int fullWidth() const;
    int floorWidth() const;
    // At most this wide in the size hint; a negative width lifts the limit.
    void setGrantedWidth(int width);
    int grantedWidth() const { return granted; }

    // The text as it is painted at the present width.
    QString shownText() const;
    bool isElided() const { return shownText() != text(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QRect textRect() const;
    void syncToolTip();

    Rank order;
    int granted = -1;
    QString ownTip; // the tool tip this field set itself
};

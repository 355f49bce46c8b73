// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLayout>
#include <QVector>

// A row of controls that goes on in a second line rather than widen the window: laid out as a
// horizontal box while it fits, otherwise broken where an expanding spacer stands (the group
// after it keeps to the right), and only then between controls. A label stays with the control
// after it; a fixed spacer at the start of a line is dropped.
class WrapRowLayout final : public QLayout
{
    Q_OBJECT

public:
    explicit WrapRowLayout(QWidget *parent = nullptr);
    ~WrapRowLayout() override;

    // Gives `box` this layout in place of its box layout, with the same items, margins and
    // spacing, in the same order.
    static WrapRowLayout *replaceIn(QWidget *box);

    void addItem(QLayoutItem *item) override;
    int count() const override { return items.size(); }
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;

    // The lines the row takes at this outer width.
    int lineCount(int width) const;

private:
    struct Piece
    {
        QVector<QLayoutItem *> parts; // glued together: a label and its control
        bool flex = false;            // an expanding spacer
        bool gap = false;             // a fixed spacer
    };
    struct Line
    {
        QVector<int> pieces;
        int used = 0;
        int flexes = 0;
    };

    QVector<Piece> pieces() const;
    int pieceWidth(const Piece &piece) const;
    int runWidth(const QVector<Piece> &all, int from) const;
    QVector<Line> breakLines(const QVector<Piece> &all, int width) const;
    int lineHeight(const QVector<Piece> &all, const Line &line) const;
    int place(const QVector<Piece> &all, const Line &line, const QRect &area);
    int gap() const;

    QVector<QLayoutItem *> items;
};

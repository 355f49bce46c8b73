// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QVector>

class ElidedLabel;
class QStatusBar;

// Shares the status bar's width among its eliding fields by rank: the port and the state keep
// their whole text longest, then the rate and the load, the recording last. Watches the bar, so
// fields added later (by whoever owns them) take part as well.
class StatusFields final : public QObject
{
    Q_OBJECT

public:
    struct Need
    {
        int rank;  // lower ranks are served first
        int floor; // never less than this
        int full;  // the whole text
    };

    explicit StatusFields(QStatusBar *bar);

    // The width for each field out of `room`: every field its floor, then what is left to the
    // fields rank by rank, shared evenly within a rank.
    static QVector<int> share(int room, const QVector<Need> &needs);

    // Shares the bar's present width now (it does so by itself on each resize and text change).
    void fit();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QVector<ElidedLabel *> fields() const;

    QStatusBar *bar;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/statusfields.h"

#include "app/elidedlabel.h"

#include <QEvent>
#include <QLayout>
#include <QStatusBar>
#include <algorithm>

StatusFields::StatusFields(QStatusBar *bar) : QObject(bar), bar(bar)
{
    bar->installEventFilter(this);
}

namespace {
// Shares `room` evenly among the fields of one rank, none beyond what it wants; returns the rest.
int shareRank(int room, const QVector<int> &members, QVector<int> &wants, QVector<int> &widths)
{
    QVector<int> open = members;
    while (room > 0 && !open.isEmpty()) {
        const int each = qMax(1, room / open.size());
        for (int i = 0; i < open.size() && room > 0; ++i) {
            const int given = std::min({each, wants[open[i]], room});
            widths[open[i]] += given;
            wants[open[i]] -= given;
            room -= given;
        }
        open.erase(std::remove_if(open.begin(), open.end(), [&](int f) { return wants[f] == 0; }),
                   open.end());
    }
    return room;
}
} // namespace

QVector<int> StatusFields::share(int room, const QVector<Need> &needs)
{
    QVector<int> widths(needs.size());
    QVector<int> wants(needs.size());
    QVector<int> ranks;
    for (int i = 0; i < needs.size(); ++i) {
        widths[i] = qMin(needs[i].floor, needs[i].full);
        wants[i] = needs[i].full - widths[i];
        room -= widths[i];
        ranks.append(needs[i].rank);
    }
    std::sort(ranks.begin(), ranks.end());
    ranks.erase(std::unique(ranks.begin(), ranks.end()), ranks.end());
    for (const int rank : ranks) {
        QVector<int> members;
        for (int i = 0; i < needs.size(); ++i) {
            if (needs[i].rank == rank)
                members.append(i);
        }
        room = shareRank(room, members, wants, widths);
    }
    return widths;
}

void StatusFields::fit()
{
    const QVector<ElidedLabel *> shown = fields();
    if (!bar->layout())
        return;
    // What the bar's other widgets, gaps and margins take is its layout's wish less the fields'.
    int room = bar->width() - bar->layout()->sizeHint().width();
    QVector<Need> needs;
    for (ElidedLabel *field : shown) {
        room += field->sizeHint().width();
        needs.append({field->rank(), field->floorWidth(), field->fullWidth()});
    }
    const QVector<int> widths = share(room, needs);
    for (int i = 0; i < shown.size(); ++i)
        shown[i]->setGrantedWidth(widths[i]);
}

bool StatusFields::eventFilter(QObject *watched, QEvent *event)
{
    // A field's new text invalidates the bar's layout, which then asks for a LayoutRequest.
    if (watched == bar &&
        (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
        fit();
    return QObject::eventFilter(watched, event);
}

QVector<ElidedLabel *> StatusFields::fields() const
{
    QVector<ElidedLabel *> shown;
    for (ElidedLabel *field :
         bar->findChildren<ElidedLabel *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!field->isHidden())
            shown.append(field);
    }
    return shown;
}

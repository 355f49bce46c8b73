// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/logsignaltips.h"

#include "link/timedpacket.h"
#include "log/candatamodel.h"
#include "log/logpagemodel.h"
#include "signals/decodedsignal.h"
#include "signals/signalset.h"

#include <QHelpEvent>
#include <QTableView>
#include <QToolTip>

LogSignalTips::LogSignalTips(QTableView *view, LogPageModel *page, const SignalSet *set)
    : QObject(view), view(view), page(page), set(set)
{
    view->viewport()->installEventFilter(this);
}

QString LogSignalTips::textFor(int pageRow) const
{
    const int row = page->sourceRow(pageRow);
    if (pageRow < 0 || row >= page->source()->rowCount())
        return QString();
    const CanPacket packet = page->source()->frameAt(row).packet;
    const DbcMessage *message = set->message(packet.id, packet.isExtended());
    return message ? DecodedSignal::summary(*message, packet) : QString();
}

bool LogSignalTips::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ToolTip || watched != view->viewport())
        return false;
    auto *help = static_cast<QHelpEvent *>(event);
    const QModelIndex index = view->indexAt(help->pos());
    const QString text = textFor(index.row());
    if (text.isEmpty())
        return false; // the view shows the log's own tip, if the row has one
    const QString rowTip = index.data(Qt::ToolTipRole).toString();
    QToolTip::showText(help->globalPos(),
                       rowTip.isEmpty() ? text : rowTip + QStringLiteral("\n\n") + text,
                       view->viewport());
    return true;
}

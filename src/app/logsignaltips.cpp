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
    const QString decoded = message ? DecodedSignal::summary(*message, packet) : QString();
    const QString own = page->source()->index(row, 0).data(Qt::ToolTipRole).toString();
    if (own.isEmpty() || decoded.isEmpty())
        return own + decoded;
    return own + QStringLiteral("\n\n") + decoded;
}

bool LogSignalTips::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ToolTip || watched != view->viewport())
        return false;
    auto *help = static_cast<QHelpEvent *>(event);
    const QString text = textFor(view->indexAt(help->pos()).row());
    if (text.isEmpty())
        return false;
    QToolTip::showText(help->globalPos(), text, view->viewport());
    return true;
}

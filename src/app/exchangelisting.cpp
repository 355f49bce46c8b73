#include "app/exchangelisting.h"

#include "link/canpacket.h"

#include <QListWidget>

ExchangeListing::ExchangeListing(QListWidget *list, QObject *parent) : QObject(parent), list(list)
{
}

void ExchangeListing::addWritten(const QString &line)
{
    refresh(); // keeps the order of what was said and answered
    append({line});
}

void ExchangeListing::addReply(const QByteArray &reply)
{
    if (replies.size() < MaxRepliesPerRefresh) {
        replies.append(reply);
        return;
    }
    ++skipped;
    skippedBytes += quint64(reply.size());
}

void ExchangeListing::refresh()
{
    QStringList lines;
    for (const QByteArray &reply : qAsConst(replies)) {
        const QByteArray shown = reply.left(MaxShownBytes);
        QString read = QStringLiteral("[RD] ") + byteListText(shown);
        if (reply.size() > MaxShownBytes)
            read += QStringLiteral(" … (%1 байт)").arg(reply.size());
        lines << read << QStringLiteral("[ASCII] ") + printableText(shown);
    }
    if (skipped > 0)
        lines << QStringLiteral("[RD] … ещё ответов: %1 (%2 байт)").arg(skipped).arg(skippedBytes);
    replies.clear();
    skipped = 0;
    skippedBytes = 0;
    if (!lines.isEmpty())
        append(lines);
}

void ExchangeListing::append(const QStringList &lines)
{
    list->setUpdatesEnabled(false);
    list->addItems(lines);
    const int excess = list->count() - MaxLines;
    for (int i = 0; i < excess; ++i)
        delete list->takeItem(0);
    list->setUpdatesEnabled(true);
    list->scrollToBottom();
}

void ExchangeListing::clear()
{
    replies.clear();
    skipped = 0;
    skippedBytes = 0;
    list->clear();
}

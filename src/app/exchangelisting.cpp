// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/exchangelisting.h"

#include "link/canpacket.h"

#include <QListWidget>

namespace {
constexpr int LineMargin = 8; // room the item delegate leaves around a line's text
constexpr int SpareHeight = 2;
} // namespace

// Every line gets one fixed size, as wide as the longest line there can be: the list then lays
// itself out without measuring 10,000 lines after every change, yet nothing is cut.
ExchangeListing::ExchangeListing(QListWidget *list, QObject *parent) : QObject(parent), list(list)
{
    const QString widest = QStringLiteral("[RD] ") +
                           byteListText(QByteArray(MaxShownBytes, '\xEF')) +
                           tr(" … (4294967295 байт)");
    const int height =
        list->count() > 0 ? list->sizeHintForRow(0) : list->fontMetrics().height() + SpareHeight;
    lineSize = QSize(list->fontMetrics().horizontalAdvance(widest) + LineMargin, height);
    for (int row = 0; row < list->count(); ++row)
        list->item(row)->setSizeHint(lineSize);
    list->setUniformItemSizes(true);
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
            read += tr(" … (%1 байт)").arg(reply.size());
        lines << read << QStringLiteral("[ASCII] ") + printableText(shown);
    }
    if (skipped > 0)
        lines << tr("[RD] … ещё ответов: %1 (%2 байт)").arg(skipped).arg(skippedBytes);
    replies.clear();
    skipped = 0;
    skippedBytes = 0;
    if (!lines.isEmpty())
        append(lines);
}

void ExchangeListing::append(const QStringList &lines)
{
    list->setUpdatesEnabled(false);
    for (const QString &line : lines) {
        auto *item = new QListWidgetItem(line);
        item->setSizeHint(lineSize);
        list->addItem(item);
    }
    // One removal for all the oldest lines: one at a time costs the view a relayout each.
    const int excess = list->count() - MaxLines;
    if (excess > 0)
        list->model()->removeRows(0, excess);
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

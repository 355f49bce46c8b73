// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QSize>
#include <QStringList>

class QListWidget;

// The module exchange listing of the commands tab. Replies are gathered and shown once per
// refresh, the listing keeps its newest MaxLines lines, and a reply too long to be one is shown
// cut, with its full size: a line full of noise can then never keep the window busy.
class ExchangeListing final : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxLines = 10000;
    static constexpr int MaxShownBytes = 64;
    // Replies shown per refresh at most; past it only their count is.
    static constexpr int MaxRepliesPerRefresh = 50;

    explicit ExchangeListing(QListWidget *list, QObject *parent = nullptr);

    // A command written to the module: shown at once.
    void addWritten(const QString &line);
    void addReply(const QByteArray &reply);
    // Shows the replies gathered since the last call.
    void refresh();
    void clear();
    bool hasPending() const { return !replies.isEmpty() || skipped > 0; }

private:
    void append(const QStringList &lines);

    QListWidget *list;
    QList<QByteArray> replies;
    QSize lineSize;      // of every line
    quint64 skipped = 0; // replies past MaxRepliesPerRefresh since the last refresh
    quint64 skippedBytes = 0;
};

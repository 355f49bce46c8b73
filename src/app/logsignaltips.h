// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class LogPageModel;
class QTableView;
class SignalSet;

// The log view's tooltip: the decoded signals of the row under the mouse, for a message the
// loaded DBC files know, below the log's own tip of the row (an FD frame's flags and bytes).
// The log model itself knows nothing of signals.
class LogSignalTips final : public QObject
{
    Q_OBJECT

public:
    LogSignalTips(QTableView *view, LogPageModel *page, const SignalSet *set);

    // The tooltip of log page row `pageRow`: the log's own tip of the row, then the decoded
    // signals; empty when the row has neither.
    QString textFor(int pageRow) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTableView *view;
    LogPageModel *page;
    const SignalSet *set;
};

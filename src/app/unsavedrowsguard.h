// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class FrameFeed;
class QString;
class QWidget;

// Before the log's rows that are in no file (logged live while nothing recorded them, and not
// saved since: the feed counts them) are dropped, by clearing, opening a capture or closing the
// window, the user is asked, with their number.
class UnsavedRowsGuard final
{
public:
    UnsavedRowsGuard(QWidget *window, const FrameFeed *feed) : window(window), feed(feed) {}

    // True when nothing is lost by `action` ("Очистить журнал"): no such rows, or the user agrees.
    bool mayDrop(const QString &action) const;

private:
    QWidget *window;
    const FrameFeed *feed;
};

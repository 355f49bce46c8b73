// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

class LogPager;
class QStatusBar;

// "Выделено строк: N" in the status bar while rows of the log are selected, whatever page the
// log shows.
class SelectionCount final : public QLabel
{
    Q_OBJECT

public:
    SelectionCount(QStatusBar *bar, const LogPager *pager, QWidget *parent = nullptr);

private:
    void showCount();

    const LogPager *pager;
};

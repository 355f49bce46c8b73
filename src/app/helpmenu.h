// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>

class GuideWindow;
class QAction;
class QMenu;
class QWidget;

// The help menu's "Руководство" (F1), the user's guide, and "Горячие клавиши", the list of every
// shortcut of the window.
class HelpMenu final : public QObject
{
    Q_OBJECT

public:
    // Puts both actions into `menu` before `before`.
    HelpMenu(QMenu *menu, QAction *before, QWidget *window);

    void showGuide();
    void showShortcuts();

private:
    QWidget *window;
    QPointer<GuideWindow> guide;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/helpmenu.h"

#include "app/guidewindow.h"
#include "app/shortcutsdialog.h"

#include <QAction>
#include <QMenu>

HelpMenu::HelpMenu(QMenu *menu, QAction *before, QWidget *window) : QObject(window), window(window)
{
    auto *guideAction = new QAction(tr("Руководство"), window);
    guideAction->setObjectName(QStringLiteral("actionGuide"));
    guideAction->setShortcut(QKeySequence::HelpContents);
    auto *keysAction = new QAction(tr("Горячие клавиши"), window);
    keysAction->setObjectName(QStringLiteral("actionShortcuts"));
    menu->insertActions(before, {guideAction, keysAction});
    menu->insertSeparator(before);
    window->addAction(guideAction); // F1 works with the menu closed
    connect(guideAction, &QAction::triggered, this, &HelpMenu::showGuide);
    connect(keysAction, &QAction::triggered, this, &HelpMenu::showShortcuts);
}

// One guide window, raised again when it is already open.
void HelpMenu::showGuide()
{
    if (!guide) {
        guide = new GuideWindow(window);
        guide->setAttribute(Qt::WA_DeleteOnClose);
    }
    guide->show();
    guide->raise();
    guide->activateWindow();
}

void HelpMenu::showShortcuts()
{
    ShortcutsDialog dialog(window);
    dialog.listFrom(window);
    dialog.exec();
}

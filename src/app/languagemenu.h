// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QAction;
class QActionGroup;
class QMenuBar;
class QWidget;

// The "Язык / Language" menu, so named in either language for one who reads only the other:
// Russian, English or the system's language, one checked. The choice is kept in the settings
// ("LANGUAGE") and takes effect at the next start, which the user is told in the language chosen.
class LanguageMenu final : public QObject
{
    Q_OBJECT
public:
    // Puts the menu into `bar` before `before` (at the end when null).
    LanguageMenu(QMenuBar *bar, QAction *before, QWidget *window);

private:
    void choose(QAction *action);

    QWidget *window;
    QActionGroup *group;
};

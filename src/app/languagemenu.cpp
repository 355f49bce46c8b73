// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/languagemenu.h"

#include "settings/appinfo.h"
#include "settings/languagechoice.h"

#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>

namespace {
const QString Title = QStringLiteral("Язык / Language");
const char *const Notice =
    QT_TRANSLATE_NOOP("LanguageMenu", "Язык сменится при следующем запуске программы.");
} // namespace

LanguageMenu::LanguageMenu(QMenuBar *bar, QAction *before, QWidget *window)
    : QObject(window), window(window), group(new QActionGroup(this))
{
    auto *menu = new QMenu(Title, bar);
    menu->setObjectName(QStringLiteral("menuLanguage"));
    bar->insertMenu(before, menu);
    const struct
    {
        const char *value;
        QString text;
        const char *name;
    } choices[] = {{LanguageChoice::Russian, tr("Русский"), "actionLanguageRu"},
                   {LanguageChoice::English, tr("English"), "actionLanguageEn"},
                   {LanguageChoice::System, tr("Системный"), "actionLanguageSystem"}};
    const QString current = LanguageChoice::stored(
        QSettings(QLatin1String(AppInfo::Organisation), QLatin1String(AppInfo::Application)));
    for (const auto &choice : choices) {
        QAction *action = menu->addAction(choice.text);
        action->setObjectName(QLatin1String(choice.name));
        action->setData(QLatin1String(choice.value));
        action->setCheckable(true);
        action->setChecked(current == QLatin1String(choice.value));
        group->addAction(action);
    }
    group->setExclusive(true);
    connect(group, &QActionGroup::triggered, this, &LanguageMenu::choose);
}

void LanguageMenu::choose(QAction *action)
{
    QSettings store(QLatin1String(AppInfo::Organisation), QLatin1String(AppInfo::Application));
    const QString value = action->data().toString();
    const bool changed = LanguageChoice::stored(store) != value;
    store.setValue(QLatin1String(LanguageChoice::Key), value);
    store.sync();
    if (!changed)
        return;
    // Opened, not executed: the capture goes on while the note is up.
    auto *box = new QMessageBox(QMessageBox::Information, Title,
                                LanguageChoice::text(value, "LanguageMenu", Notice),
                                QMessageBox::Ok, window);
    box->setObjectName(QStringLiteral("languageNote"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

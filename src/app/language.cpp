// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/language.h"

#include "settings/appinfo.h"
#include "settings/languagechoice.h"

#include <QSettings>

void installLanguage()
{
    const QSettings store(QLatin1String(AppInfo::Organisation),
                          QLatin1String(AppInfo::Application));
    const QString choice = LanguageChoice::stored(store);
    LanguageChoice::installQtTexts(choice);
    LanguageChoice::installTexts(choice);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/languagechoice.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

// The compiled translation lives in a static library: its resource is registered by hand.
static void initTranslations()
{
    Q_INIT_RESOURCE(quorvex_translations);
}

namespace {
const char *const OwnTranslation = ":/translations/quorvex_en.qm";
} // namespace

QString LanguageChoice::stored(const QSettings &store)
{
    const QString value = store.value(QLatin1String(Key)).toString();
    if (value == QLatin1String(English) || value == QLatin1String(System))
        return value;
    return QLatin1String(Russian);
}

bool LanguageChoice::isEnglish(const QString &choice)
{
    if (choice == QLatin1String(System))
        return QLocale::system().language() != QLocale::Russian;
    return choice == QLatin1String(English);
}

void LanguageChoice::installTexts(const QString &choice)
{
    if (!QCoreApplication::instance() || !isEnglish(choice))
        return;
    static const bool registered = (initTranslations(), true);
    Q_UNUSED(registered)
    auto *own = new QTranslator(QCoreApplication::instance());
    if (own->load(QLatin1String(OwnTranslation)))
        QCoreApplication::installTranslator(own);
    else
        delete own;
}

QString LanguageChoice::text(const QString &choice, const char *context, const char *source)
{
    if (isEnglish(choice)) {
        static const bool registered = (initTranslations(), true);
        Q_UNUSED(registered)
        QTranslator english;
        const QString translated = english.load(QLatin1String(OwnTranslation))
                                       ? english.translate(context, source)
                                       : QString();
        if (!translated.isEmpty())
            return translated;
    }
    return QString::fromUtf8(source);
}

void LanguageChoice::installQtTexts(const QString &choice)
{
    if (!QCoreApplication::instance())
        return;
    const QLocale locale = choice == QLatin1String(System)    ? QLocale::system()
                           : choice == QLatin1String(English) ? QLocale(QLocale::English)
                                                              : QLocale(QLocale::Russian);
    // Qt's source texts are English: there is no file for English, and none is needed.
    if (locale.language() == QLocale::English)
        return;
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

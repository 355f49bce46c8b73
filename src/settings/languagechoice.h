// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QSettings;

// The interface language kept in the settings under "LANGUAGE": "ru" (the default), "en" or
// "system". The texts are written in Russian; English comes from the embedded translation.
// Shared by the window and the command-line tools, so that they speak the same language.
namespace LanguageChoice {

constexpr const char *Key = "LANGUAGE";
constexpr const char *Russian = "ru";
constexpr const char *English = "en";
constexpr const char *System = "system";

// The stored choice; anything unknown reads as Russian.
QString stored(const QSettings &store);
// Whether `choice` means the English texts: "en", or "system" on a locale that is not Russian.
bool isEnglish(const QString &choice);
// Install translators on the running application; they live as long as it does.
// Quorvex's English texts, when `choice` means English (all the command-line tools need).
void installTexts(const QString &choice);
// Qt's own texts (standard dialogs and buttons) in the language of the choice, the system's
// for "system", when Qt has them.
void installQtTexts(const QString &choice);
// A text in the language of `choice`, whatever the language in use: what the program says on
// a change of language is read in the new one. `source` is the Russian text of `context`.
QString text(const QString &choice, const char *context, const char *source);

} // namespace LanguageChoice

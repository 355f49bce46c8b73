// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/commandline.h"

#include "app/language.h"
#include "settings/appinfo.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstring>

void CommandLine::setIdentity()
{
    QCoreApplication::setOrganizationName(QLatin1String(AppInfo::Organisation));
    QCoreApplication::setApplicationName(QLatin1String(AppInfo::Application));
    QCoreApplication::setApplicationVersion(QLatin1String(AppInfo::Version));
}

void CommandLine::describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QCoreApplication::translate("CommandLine", "Анализатор CAN-шины для модуля Tarvix"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("FILE"),
        QCoreApplication::translate("CommandLine",
                                    "журнал для открытия (candump, ASC, TRC, BLF, CSV)"),
        QStringLiteral("[FILE]"));
}

// Only the options' exact spellings count: anything else is for the GUI application's parser,
// which knows Qt's own options (-platform, -style, ...) as well.
CommandLine::Ask CommandLine::asked(int argc, char **argv)
{
    Ask ask = Ask::Nothing;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "--") == 0)
            break; // what follows is a file name
        if (std::strcmp(arg, "--help-all") == 0)
            return Ask::HelpAll;
        for (const char *name : {"-h", "--help", "-?", "-v", "--version"}) {
            if (std::strcmp(arg, name) == 0)
                ask = Ask::HelpOrVersion;
        }
    }
    return ask;
}

void CommandLine::answerEarly(int argc, char **argv)
{
    const Ask ask = asked(argc, argv);
    if (ask == Ask::HelpAll) {
        // Qt's GUI options are listed by the GUI application; the offscreen platform needs no
        // display and shows the same options.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return;
    }
    if (ask != Ask::HelpOrVersion)
        return;
    QCoreApplication app(argc, argv);
    setIdentity();
    installLanguage();
    QCommandLineParser parser;
    describe(parser);
    parser.parse(QCoreApplication::arguments()); // Qt's GUI options are unknown here: no matter
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
}

void CommandLine::process(const QCoreApplication &app)
{
    QCommandLineParser parser;
    describe(parser);
    parser.process(app);
    positional = parser.positionalArguments();
}

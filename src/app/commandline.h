// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

class QCommandLineParser;
class QCoreApplication;

// The program's command line: an optional capture FILE, --help, --help-all and --version.
//
// The help and version texts are printed before any window system is reached, so they work with
// no display at all (over ssh, in a package build): --help and --version are answered by a core
// application object of their own; --help-all lists Qt's GUI options too, which needs the GUI
// application, so that one is told to come up on the offscreen platform.
class CommandLine final
{
public:
    // Call first thing in main(): prints the help or the version text and exits the process when
    // one is asked for; otherwise returns and the GUI application may be created.
    static void answerEarly(int argc, char **argv);

    // Parses the GUI application's arguments; a wrong option prints the error and exits, as
    // QCommandLineParser::process() does.
    void process(const QCoreApplication &app);
    // The captures named on the command line.
    QStringList files() const { return positional; }

    // The texts of help and version: the name and version of the program.
    static void setIdentity();

private:
    enum class Ask { Nothing, HelpOrVersion, HelpAll };
    static Ask asked(int argc, char **argv);
    static void describe(QCommandLineParser &parser);

    QStringList positional;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/commandline.h"
#include "app/language.h"
#include "app/mainwindow.h"
#include "link/canbussource.h"
#include "settings/signalpipe.h"

#include <QApplication>
#include <QIcon>
#include <QLoggingCategory>
#include <csignal>

int main(int argc, char *argv[])
{
    CommandLine::answerEarly(argc, argv); // --help and --version need no display
    CanBusSource::pinTimeZone();
    QApplication app(argc, argv);
    // The adapters' plugins tell of their own sockets and servers; the window says enough.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus.plugins.*.info=false"));
    CommandLine::setIdentity();
    installLanguage(); // Qt's own dialogs and buttons too speak the chosen language
    CommandLine commandLine;
    commandLine.process(app);
    // A stop by signal, a logout (SIGHUP) included, closes the window as the user would: the
    // recording is written out and the private row file goes.
    SignalPipe stopSignals;
    QString error;
    stopSignals.install(error, {SIGINT, SIGTERM, SIGHUP});
    MainWindow window;
    QObject::connect(&stopSignals, &SignalPipe::received, &window, &MainWindow::stop);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/quorvex.png")));
    window.show();
    const QStringList files = commandLine.files();
    if (files.size() == 1)
        window.openCapture(files.first()); // "quorvex FILE", as the desktop entry passes it
    return app.exec();
}

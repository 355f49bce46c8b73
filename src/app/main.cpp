#include "app/commandline.h"
#include "app/mainwindow.h"
#include "capture/signalpipe.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <csignal>

int main(int argc, char *argv[])
{
    CommandLine::answerEarly(argc, argv); // --help and --version need no display
    QApplication app(argc, argv);
    CommandLine::setIdentity();
    CommandLine commandLine;
    commandLine.process(app);
    // Qt's own dialogs and buttons speak the program's language.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
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

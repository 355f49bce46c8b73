#include "app/appinfo.h"
#include "app/mainwindow.h"
#include "capture/signalpipe.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <csignal>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QLatin1String(AppInfo::Organisation));
    QCoreApplication::setApplicationName(QLatin1String(AppInfo::Application));
    QCoreApplication::setApplicationVersion(QLatin1String(AppInfo::Version));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Анализатор CAN-шины для модуля Tarvix"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("FILE"), QStringLiteral("журнал для открытия (candump, ASC, TRC, BLF, CSV)"),
        QStringLiteral("[FILE]"));
    parser.process(app);
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
    const QStringList files = parser.positionalArguments();
    if (files.size() == 1)
        window.openCapture(files.first()); // "quorvex FILE", as the desktop entry passes it
    return app.exec();
}

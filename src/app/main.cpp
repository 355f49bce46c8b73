#include "app/appinfo.h"
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
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QLatin1String(AppInfo::Organisation));
    QCoreApplication::setApplicationName(QLatin1String(AppInfo::Application));
    // A stop by signal, a logout (SIGHUP) included, closes the window as the user would: the
    // recording is written out and the private row file goes.
    // Qt's own dialogs and buttons speak the program's language.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    SignalPipe stopSignals;
    QString error;
    stopSignals.install(error, {SIGINT, SIGTERM, SIGHUP});
    MainWindow window;
    QObject::connect(&stopSignals, &SignalPipe::received, &window, &QWidget::close);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/quorvex.png")));
    window.show();
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 2)
        window.openCapture(arguments.at(1)); // "quorvex FILE", as the desktop entry passes it
    return app.exec();
}

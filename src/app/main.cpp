#include "app/mainwindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    MainWindow window;
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/quorvex.png")));
    window.show();
    return app.exec();
}

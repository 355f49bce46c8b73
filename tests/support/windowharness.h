// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/mainwindow.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTimer>
#include <QVariant>
#include <QtTest>
#include <memory>

// The main window under test, with its settings in a private location (see isolateSettings()).
class WindowHarness final
{
public:
    // Points the settings store at a fresh temporary directory. Call before the application
    // object exists; the directory lives as long as the process.
    static void isolateSettings();
    // Takes every translator off the application: back to the texts of the sources, before a
    // test installs a language.
    static void dropTranslators();
    // Clears the store, then stores the port and the working directory (and TX when valid).
    static void writeSettings(const QString &portName, const QString &workDir,
                              const QVariant &tx = QVariant());

    void create();
    void destroy() { window.reset(); }
    MainWindow *get() const { return window.get(); }

    template<typename T> T *child(const char *name) const
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
    }
    QAbstractItemModel *log() const;
    QString status(const char *field) const { return child<QLabel>(field)->text(); }
    void setCombo(const char *name, int data) const;
    // Triggers the connect action; true when the port field then reports the port open.
    bool connectPort() const;

private:
    std::unique_ptr<MainWindow> window;
};

// Lets `act` work on the next modal dialog or message box of type Widget once it is up.
template<typename Widget, typename Act> void whenModal(Act act)
{
    QTimer::singleShot(0, [act] {
        QTRY_VERIFY(qobject_cast<Widget *>(QApplication::activeModalWidget()));
        act(qobject_cast<Widget *>(QApplication::activeModalWidget()));
    });
}

// main() of a test of the window: settings isolated before the application object exists.
#define QUORVEX_WINDOW_TEST_MAIN(TestClass)                                                        \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        WindowHarness::isolateSettings();                                                          \
        QApplication app(argc, argv);                                                              \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

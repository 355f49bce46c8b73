// SPDX-License-Identifier: GPL-3.0-or-later
// What the window's menus offer beside the capture: the recent files, kept between runs; the
// user's guide (F1) in the language in use, with its pictures; the list of every shortcut; and
// the log's time since its first row, kept as chosen.
#include "app/guidewindow.h"
#include "app/language.h"
#include "log/candatamodel.h"
#include "settings/languagechoice.h"
#include "support/testfiles.h"
#include "support/windowharness.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QSettings>
#include <QShortcut>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTranslator>

namespace {

QSettings store()
{
    return QSettings(QStringLiteral("Veltrica"), QStringLiteral("Quorvex"));
}

QStringList recentTexts(QMenu *menu)
{
    QStringList texts;
    const auto actions = menu->actions();
    for (const QAction *action : actions) {
        if (action->objectName().startsWith(QLatin1String("actionRecent")) &&
            action->objectName() != QLatin1String("actionRecentClear"))
            texts.append(action->text());
    }
    return texts;
}

// The pictures a page of the guide shows, each as the page loads it.
QStringList missingPictures(QTextBrowser *browser)
{
    QStringList missing;
    const QString html = browser->toHtml();
    QRegularExpression image(QStringLiteral("<img src=\"([^\"]+)\""));
    auto it = image.globalMatch(html);
    int count = 0;
    while (it.hasNext()) {
        const QString src = it.next().captured(1);
        ++count;
        const QVariant loaded = browser->loadResource(QTextDocument::ImageResource,
                                                      browser->source().resolved(QUrl(src)));
        if (loaded.isNull())
            missing.append(src);
    }
    if (count == 0)
        missing.append(QStringLiteral("(no picture at all)"));
    return missing;
}

} // namespace

class TestWindowMenus : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    WindowHarness ui;

    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        return writeFile(path, bytes) ? path : QString();
    }

private slots:
    void init() { WindowHarness::writeSettings(dir.filePath("absent"), dir.path()); }
    void cleanup()
    {
        ui.destroy();
        WindowHarness::dropTranslators();
    }

    void recentFilesAreKeptAndTheMissingDropped();
    void guideOpensInTheLanguageInUse_data();
    void guideOpensInTheLanguageInUse();
    void shortcutListHasEveryShortcut();
    void logTimeSinceTheFirstRowIsKept();
};

// Captures and DBC files opened go first in "Недавние", kept for the next run; one chosen there
// opens again; one that is gone is said and dropped.
void TestWindowMenus::recentFilesAreKeptAndTheMissingDropped()
{
    const QString capture = file("bus.log", "(1.0) can0 123#01\n(2.0) can0 124#02\n");
    const QString other = file("other.log", "(1.0) can0 200#01\n");
    const QString dbc = file("engine.dbc", engineRpmDbc());
    ui.create();
    auto *menu = ui.child<QMenu>("menuRecent");
    QVERIFY(recentTexts(menu).isEmpty());
    ui.get()->openCapture(capture);
    QTRY_COMPARE(ui.log()->rowCount(), 2);
    whenModal<QFileDialog>([&](QFileDialog *dialog) {
        dialog->selectFile(dbc);
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    });
    ui.child<QAction>("actionLoadDbc")->trigger();
    ui.get()->openCapture(other);
    QTRY_COMPARE(ui.log()->rowCount(), 1);
    // The capture counts as opened once its reading ends, which may come after its rows show.
    QTRY_COMPARE(recentTexts(menu),
                 QStringList({"&1 other.log — " + QDir::toNativeSeparators(dir.path()),
                              "&2 engine.dbc — " + QDir::toNativeSeparators(dir.path()),
                              "&3 bus.log — " + QDir::toNativeSeparators(dir.path())}));
    ui.destroy();
    QCOMPARE(store().value("RECENT").toStringList(), QStringList({other, dbc, capture}));

    // The next run lists them and opens them again.
    QVERIFY(QFile::remove(other));
    ui.create();
    menu = ui.child<QMenu>("menuRecent");
    QCOMPARE(recentTexts(menu).size(), 3);
    ui.child<QAction>("actionRecent3")->trigger();
    QTRY_COMPARE(ui.log()->rowCount(), 2);
    QTRY_COMPARE(recentTexts(menu).value(0),
                 "&1 bus.log — " + QDir::toNativeSeparators(dir.path()));
    ui.child<QAction>("actionRecent2")->trigger(); // other.log, which is gone
    QPointer<QMessageBox> box = ui.get()->findChild<QMessageBox *>("recentMissing");
    QVERIFY(box);
    QVERIFY2(box->text().contains(QDir::toNativeSeparators(other)), qPrintable(box->text()));
    box->close();
    QTRY_VERIFY(!box);
    QCOMPARE(recentTexts(menu).size(), 2);
    QCOMPARE(ui.log()->rowCount(), 2); // the log as it was
    ui.child<QAction>("actionForgetDbc")->trigger();
    ui.child<QAction>("actionRecent2")->trigger(); // engine.dbc
    QCOMPARE(ui.status("lbStatusMain"), QStringLiteral("DBC: файлов 1, сообщений 1"));
    ui.destroy();
    QCOMPARE(store().value("RECENT").toStringList(), QStringList({dbc, capture}));
    QCOMPARE(store().value("DBC").toStringList(), QStringList{dbc});
}

void TestWindowMenus::guideOpensInTheLanguageInUse_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("title");
    QTest::newRow("ru") << "ru"
                        << "qrc:/guide/ru.html"
                        << "Руководство пользователя Quorvex";
    QTest::newRow("en") << "en"
                        << "qrc:/guide/en.html"
                        << "Quorvex user guide";
}

// F1 opens the guide built into the program, its pictures with it, in the window's language.
void TestWindowMenus::guideOpensInTheLanguageInUse()
{
    QFETCH(QString, language);
    QFETCH(QString, page);
    QFETCH(QString, title);
    store().setValue("LANGUAGE", language);
    installLanguage();
    ui.create();
    QApplication::setActiveWindow(ui.get());
    QVERIFY(QTest::qWaitForWindowActive(ui.get()));
    QCOMPARE(ui.child<QAction>("actionGuide")->shortcut(),
             QKeySequence(QKeySequence::HelpContents));
    QTest::keyClick(ui.get(), Qt::Key_F1);
    auto *guide = ui.get()->findChild<GuideWindow *>();
    QVERIFY(guide);
    QTRY_VERIFY(guide->isVisible());
    auto *browser = guide->findChild<QTextBrowser *>("tbGuide");
    QCOMPARE(browser->source().toString(), page);
    QCOMPARE(browser->documentTitle(), title);
    QVERIFY(browser->toPlainText().contains(title));
    QCOMPARE(missingPictures(browser), QStringList());
    // Pressed again, the same window comes up.
    ui.child<QAction>("actionGuide")->trigger();
    QCOMPARE(ui.get()->findChildren<GuideWindow *>().size(), 1);
}

// "Горячие клавиши" names every key the window answers to, with what it does.
void TestWindowMenus::shortcutListHasEveryShortcut()
{
    ui.create();
    QStringList expected;
    const auto actions = ui.get()->findChildren<QAction *>();
    for (const QAction *action : actions) {
        for (const QKeySequence &key : action->shortcuts())
            expected.append(key.toString(QKeySequence::NativeText));
    }
    const auto shortcuts = ui.get()->findChildren<QShortcut *>();
    for (const QShortcut *shortcut : shortcuts)
        expected.append(shortcut->key().toString(QKeySequence::NativeText));
    for (const char *key : {"Ctrl+O", "Ctrl+F", "F1", "F3", "Shift+F3", "Ctrl+Z", "Ctrl+Shift+Z"})
        QVERIFY2(expected.contains(QLatin1String(key)), key);
    QStringList listed;
    QStringList whats;
    whenModal<QDialog>([&](QDialog *dialog) {
        auto *table = dialog->findChild<QTableWidget *>("twShortcuts");
        for (int row = 0; table && row < table->rowCount(); ++row) {
            whats.append(table->item(row, 0)->text());
            listed.append(table->item(row, 1)->text().split(QStringLiteral(", ")));
        }
        dialog->reject();
    });
    ui.child<QAction>("actionShortcuts")->trigger();
    for (const QString &key : qAsConst(expected))
        QVERIFY2(listed.contains(key), qPrintable(key));
    QVERIFY(whats.contains(QStringLiteral("Открыть журнал")));
    QVERIFY(whats.contains(QStringLiteral("Поиск в журнале")));
    QVERIFY(!whats.contains(QString()));
}

// "От начала, с": seconds since the log's first row; the choice comes back at the next start.
void TestWindowMenus::logTimeSinceTheFirstRowIsKept()
{
    const QString capture = file("times.log", "(1700000000.000000) can0 123#01\n"
                                              "(1700000002.500000) can0 124#02\n");
    ui.create();
    auto *time = ui.child<QComboBox>("cbTime");
    QCOMPARE(time->currentIndex(), 0);
    ui.get()->openCapture(capture);
    QTRY_COMPARE(ui.log()->rowCount(), 2);
    time->setCurrentIndex(1);
    QCOMPARE(ui.log()->headerData(CanDataModel::TimeColumn, Qt::Horizontal).toString(),
             QStringLiteral("TIME, s"));
    QCOMPARE(ui.log()->index(1, CanDataModel::TimeColumn).data().toString(),
             QStringLiteral("2.500000"));
    ui.destroy();
    QCOMPARE(store().value("LOGTIME").toString(), QStringLiteral("start"));
    ui.create();
    QCOMPARE(ui.child<QComboBox>("cbTime")->currentIndex(), 1);
    QCOMPARE(ui.log()->headerData(CanDataModel::TimeColumn, Qt::Horizontal).toString(),
             QStringLiteral("TIME, s"));
}

QUORVEX_WINDOW_TEST_MAIN(TestWindowMenus)
#include "tst_windowmenus.moc"

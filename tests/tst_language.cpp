// SPDX-License-Identifier: GPL-3.0-or-later
// The interface language: with English chosen no Russian letter is left in the window, its
// dialogs, menus, tool tips and headers, nor in the converter's messages; with Russian the texts
// are the usual ones; the "Язык" menu keeps the choice for the next start.

#include "app/language.h"
#include "formats/captureformat.h"
#include "settings/languagechoice.h"
#include "support/everydialog.h"
#include "support/windowharness.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaProperty>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTabBar>
#include <QTemporaryDir>
#include <QToolBox>
#include <QTranslator>
#include <QtTest>
#include <memory>

namespace {

const char LanguageTitle[] = "Язык / Language";

bool hasRussian(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x0400 && c.unicode() <= 0x04FF)
            return true;
    }
    return false;
}

QString nameOf(const QObject *object)
{
    return QStringLiteral("%1 \"%2\"")
        .arg(QLatin1String(object->metaObject()->className()), object->objectName());
}

// Every text of a widget tree a person may read, those with Russian letters kept as
// "where: text".
class RussianTexts
{
public:
    void walk(QObject *root)
    {
        QObjectList objects{root};
        const auto children = root->findChildren<QObject *>();
        for (QObject *child : children)
            objects << child;
        for (QObject *object : qAsConst(objects)) {
            properties(object);
            items(object);
        }
    }

    void check(const QString &where, const QString &text)
    {
        // The language menu reads the same in both, for one who cannot read the other.
        if (hasRussian(text) && text != QString::fromUtf8(LanguageTitle))
            found << where + QStringLiteral(": ") + text;
    }

    QStringList found;

private:
    // Texts, titles, tool tips, place holders, labels of plots: whatever the object keeps as a
    // string property.
    void properties(QObject *object)
    {
        const QMetaObject *meta = object->metaObject();
        for (int i = 0; i < meta->propertyCount(); ++i) {
            const QMetaProperty property = meta->property(i);
            const int type = property.userType();
            if (type != QMetaType::QString && type != QMetaType::QStringList)
                continue;
            const QVariant value = property.read(object);
            const QString where = nameOf(object) + QLatin1Char('.') + property.name();
            if (value.type() == QVariant::String)
                check(where, value.toString());
            else if (value.type() == QVariant::StringList)
                check(where, value.toStringList().join(QLatin1Char('|')));
        }
    }

    // What widgets hold beside their properties: items, tabs, model headers and cells.
    void items(QObject *object)
    {
        const QString where = nameOf(object);
        if (auto *box = qobject_cast<QComboBox *>(object)) {
            for (int i = 0; i < box->count(); ++i)
                check(where, box->itemText(i));
        } else if (auto *bar = qobject_cast<QTabBar *>(object)) {
            for (int i = 0; i < bar->count(); ++i)
                check(where, bar->tabText(i) + bar->tabToolTip(i));
        } else if (auto *toolBox = qobject_cast<QToolBox *>(object)) {
            for (int i = 0; i < toolBox->count(); ++i)
                check(where, toolBox->itemText(i) + toolBox->itemToolTip(i));
        } else if (auto *view = qobject_cast<QAbstractItemView *>(object)) {
            if (view->model())
                model(where, view->model());
        }
    }

    void model(const QString &where, const QAbstractItemModel *model)
    {
        const int rows = qMin(model->rowCount(), 200);
        const int columns = model->columnCount();
        for (int role : {int(Qt::DisplayRole), int(Qt::ToolTipRole)}) {
            for (int column = 0; column < columns; ++column)
                check(where, model->headerData(column, Qt::Horizontal, role).toString());
            for (int row = 0; row < rows; ++row) {
                check(where, model->headerData(row, Qt::Vertical, role).toString());
                for (int column = 0; column < columns; ++column)
                    check(where, model->index(row, column).data(role).toString());
            }
        }
    }
};

QSettings store()
{
    return QSettings(QStringLiteral("Veltrica"), QStringLiteral("Quorvex"));
}

void choose(const char *language)
{
    QSettings settings = store();
    if (language)
        settings.setValue(QStringLiteral("LANGUAGE"), QLatin1String(language));
    else
        settings.remove(QStringLiteral("LANGUAGE"));
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir workDir;
    WindowHarness harness;

    // The window and every dialog or window of the program, made while the language is set.
    void walkEverything(RussianTexts &texts);
    QString convertError(const char *language);

private slots:
    void init()
    {
        WindowHarness::writeSettings(QString(), workDir.path());
        WindowHarness::dropTranslators();
    }
    void cleanup()
    {
        harness.destroy();
        WindowHarness::dropTranslators();
    }

    void storedChoice_data();
    void storedChoice();
    void russianIsTheDefault();
    void englishLeavesNoRussian();
    void menuKeepsTheChoice();
    void converterSpeaksTheChoice();
};

void TestLanguage::storedChoice_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("read");
    QTest::addColumn<bool>("english");
    QTest::newRow("none") << QVariant() << "ru" << false;
    QTest::newRow("ru") << QVariant("ru") << "ru" << false;
    QTest::newRow("en") << QVariant("en") << "en" << true;
    QTest::newRow("system") << QVariant("system") << "system"
                            << (QLocale::system().language() != QLocale::Russian);
    QTest::newRow("unknown") << QVariant("de") << "ru" << false;
    QTest::newRow("wrong type") << QVariant(42) << "ru" << false;
}

void TestLanguage::storedChoice()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, read);
    QFETCH(bool, english);
    QSettings settings(QStringLiteral("Veltrica"), QStringLiteral("Quorvex"));
    if (stored.isValid())
        settings.setValue(QStringLiteral("LANGUAGE"), stored);
    QCOMPARE(LanguageChoice::stored(settings), read);
    QCOMPARE(LanguageChoice::isEnglish(read), english);
}

void TestLanguage::walkEverything(RussianTexts &texts)
{
    harness.create();
    MainWindow *window = harness.get();
    auto *log = window->findChild<CanDataModel *>();
    QVERIFY(log);
    const auto dialogs = everyDialog(log);
    for (const auto &dialog : dialogs)
        texts.walk(dialog.get());
    // What the window made by then: itself, its menus, and any window it opened.
    const auto topLevel = QApplication::topLevelWidgets();
    for (QWidget *widget : topLevel)
        texts.walk(widget);
    texts.check(QStringLiteral("open dialog filters"), CaptureFormats::dialogFilters());
}

void TestLanguage::russianIsTheDefault()
{
    choose(nullptr);
    installLanguage();
    RussianTexts texts;
    walkEverything(texts);
    QVERIFY(!texts.found.isEmpty()); // the walk does reach the texts
    MainWindow *window = harness.get();
    QVERIFY(window->windowTitle().startsWith(QStringLiteral("Veltrica. Анализатор пакетов")));
    QCOMPARE(harness.child<QAction>("actionOpenLog")->text(), QStringLiteral("Открыть журнал..."));
    QCOMPARE(harness.child<QPushButton>("btClearTable")->text(), QStringLiteral("Очистить"));
    QCOMPARE(harness.status("lbStatusMain"), QStringLiteral("Старт программы"));
    QCOMPARE(harness.child<QMenu>("menuLanguage")->title(), QString::fromUtf8(LanguageTitle));
    QCOMPARE(harness.child<QAction>("actionLanguageRu")->text(), QStringLiteral("Русский"));
    QCOMPARE(harness.child<QAction>("actionLanguageEn")->text(), QStringLiteral("English"));
    QCOMPARE(harness.child<QAction>("actionLanguageSystem")->text(), QStringLiteral("Системный"));
    QVERIFY(harness.child<QAction>("actionLanguageRu")->isChecked());
    QVERIFY(CaptureFormats::dialogFilters().contains(QStringLiteral("Журнал candump (*.log)")));
    // Qt's own buttons speak Russian as well.
    QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Отмена"));
}

void TestLanguage::englishLeavesNoRussian()
{
    choose("en");
    installLanguage();
    RussianTexts texts;
    walkEverything(texts);
    QVERIFY2(texts.found.isEmpty(), qPrintable(texts.found.join(QLatin1Char('\n'))));
    MainWindow *window = harness.get();
    QVERIFY(window->windowTitle().startsWith(QStringLiteral("Veltrica. Quorvex packet analyser")));
    QCOMPARE(harness.child<QAction>("actionOpenLog")->text(), QStringLiteral("Open log..."));
    QCOMPARE(harness.child<QMenu>("menuLanguage")->title(), QString::fromUtf8(LanguageTitle));
    QVERIFY(harness.child<QAction>("actionLanguageEn")->isChecked());
    QVERIFY(CaptureFormats::dialogFilters().contains(QStringLiteral("candump log (*.log)")));
}

void TestLanguage::menuKeepsTheChoice()
{
    choose(nullptr);
    installLanguage();
    harness.create();
    auto *ru = harness.child<QAction>("actionLanguageRu");
    auto *en = harness.child<QAction>("actionLanguageEn");
    auto *system = harness.child<QAction>("actionLanguageSystem");
    QVERIFY(ru->isChecked());
    QVERIFY(!harness.get()->findChild<QMessageBox *>(QStringLiteral("languageNote")));

    en->trigger();
    QVERIFY(en->isChecked() && !ru->isChecked() && !system->isChecked());
    QCOMPARE(store().value(QStringLiteral("LANGUAGE")).toString(), QStringLiteral("en"));
    // The note speaks the language chosen: one who picks English may read no Russian.
    auto *note = harness.get()->findChild<QMessageBox *>(QStringLiteral("languageNote"));
    QVERIFY(note);
    QCOMPARE(note->text(),
             QStringLiteral("The language will change the next time the program starts."));
    // The window goes on in its language until the next start.
    QCOMPARE(harness.child<QAction>("actionOpenLog")->text(), QStringLiteral("Открыть журнал..."));
    note->close();
    QTRY_VERIFY(!harness.get()->findChild<QMessageBox *>(QStringLiteral("languageNote")));
    ru->trigger();
    note = harness.get()->findChild<QMessageBox *>(QStringLiteral("languageNote"));
    QVERIFY(note);
    QCOMPARE(note->text(), QStringLiteral("Язык сменится при следующем запуске программы."));
    note->close();
    QTRY_VERIFY(!harness.get()->findChild<QMessageBox *>(QStringLiteral("languageNote")));

    system->trigger();
    QCOMPARE(store().value(QStringLiteral("LANGUAGE")).toString(), QStringLiteral("system"));
    ru->trigger();
    QCOMPARE(store().value(QStringLiteral("LANGUAGE")).toString(), QStringLiteral("ru"));
    // The choice is read back by the next window.
    harness.destroy();
    choose("en");
    harness.create();
    QVERIFY(harness.child<QAction>("actionLanguageEn")->isChecked());
}

// What the converter says about a file that is no candump log, in `language`.
QString TestLanguage::convertError(const char *language)
{
    choose(language);
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in.log"));
    QFile file(in);
    if (!file.open(QIODevice::WriteOnly) || file.write("not a capture\n") < 0)
        return QStringLiteral("cannot write %1").arg(in);
    file.close();
    QProcess convert;
    convert.start(QStringLiteral(QUORVEX_CONVERT_PATH),
                  {in, dir.filePath(QStringLiteral("out.asc"))});
    if (!convert.waitForFinished(60000))
        return QStringLiteral("converter did not finish");
    return QString::fromLocal8Bit(convert.readAllStandardError());
}

void TestLanguage::converterSpeaksTheChoice()
{
    const QString russian = convertError("ru");
    QVERIFY2(russian.contains(QStringLiteral("файл не похож на журнал candump")),
             qPrintable(russian));
    const QString english = convertError("en");
    QVERIFY2(english.contains(QStringLiteral("the file does not look like a candump log")),
             qPrintable(english));
    QVERIFY2(!hasRussian(english), qPrintable(english));
}

QUORVEX_WINDOW_TEST_MAIN(TestLanguage)
#include "tst_language.moc"

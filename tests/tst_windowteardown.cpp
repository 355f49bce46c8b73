// SPDX-License-Identifier: GPL-3.0-or-later
// Closing the window with every page in the state a user leaves it in. The views are hidden and
// deleted after the window's own destructor has run: whatever they read must still be there. The
// faults show under AddressSanitizer (the sanitizer pass runs this test); without it they crash
// now and then.
#include "app/signalplot.h"
#include "app/signalspage.h"
#include "log/candatamodel.h"
#include "signals/signaltestdbc.h"
#include "support/testpackets.h"
#include "support/windowharness.h"

#include <QAbstractItemView>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Reads every view's model when the view is hidden, as an assistive tool does when the window
// hides its children on the way out: rows, columns and the cells in sight.
class ModelReader final : public QObject
{
public:
    explicit ModelReader(QWidget *window) : QObject(nullptr)
    {
        for (QAbstractItemView *view : window->findChildren<QAbstractItemView *>())
            view->installEventFilter(this);
    }
    int reads = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide)
            read(static_cast<QAbstractItemView *>(watched)->model());
        return false;
    }

private:
    void read(const QAbstractItemModel *model)
    {
        if (!model)
            return;
        const int rows = qMin(model->rowCount(), 50);
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < model->columnCount(); ++column) {
                const QModelIndex index = model->index(row, column);
                for (int role : {int(Qt::DisplayRole), int(Qt::CheckStateRole)})
                    index.data(role);
            }
        }
        ++reads;
    }
};

} // namespace

class TestWindowTeardown : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void closeEachPage_data();
    void closeEachPage();
    void closeAfterClearingStatistics();
    void closeWithPlotAndSignals();

private:
    void start(const QStringList &dbcFiles = {});
    void feed(int frames);
    void showPage(const char *name);
    void clickClear();

    WindowHarness ui;
    QTemporaryDir dir;
};

void TestWindowTeardown::init()
{
    QVERIFY(dir.isValid());
}

void TestWindowTeardown::cleanup()
{
    ui.destroy();
}

void TestWindowTeardown::start(const QStringList &dbcFiles)
{
    WindowHarness::writeSettings(QStringLiteral("/dev/nonexistent-port"), dir.path());
    if (!dbcFiles.isEmpty()) {
        QSettings store(QStringLiteral("Veltrica"), QStringLiteral("Quorvex"));
        store.setValue(QStringLiteral("DBC"), dbcFiles);
    }
    ui.create();
    QVERIFY(QTest::qWaitForWindowExposed(ui.get()));
}

// A capture of a few identifiers opened in the window: the log and the statistics get its frames.
void TestWindowTeardown::feed(int frames)
{
    const QString path = dir.filePath(QStringLiteral("capture%1.log").arg(frames));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (int i = 0; i < frames; ++i)
        file.write(QStringLiteral("(1700000000.%1) can0 %2#0102030405060708\n")
                       .arg(i * 1000, 6, 10, QLatin1Char('0'))
                       .arg(0x100 + i % 7, 3, 16, QLatin1Char('0'))
                       .toLatin1());
    file.close();
    ui.get()->openCapture(path);
    QTRY_COMPARE(ui.log()->rowCount(), frames);
}

void TestWindowTeardown::showPage(const char *name)
{
    auto *tabs = ui.child<QTabWidget>("tabWidget");
    tabs->setCurrentWidget(ui.child<QWidget>(name));
    QCoreApplication::processEvents();
}

void TestWindowTeardown::clickClear()
{
    QTest::mouseClick(ui.child<QPushButton>("btClearTable"), Qt::LeftButton);
    QCoreApplication::processEvents();
}

void TestWindowTeardown::closeEachPage_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::newRow("log") << QByteArray("tab");
    QTest::newRow("commands") << QByteArray("tab_3");
    QTest::newRow("statistics") << QByteArray("tab_2");
    QTest::newRow("signals") << QByteArray("tabSignals");
}

void TestWindowTeardown::closeEachPage()
{
    QFETCH(QByteArray, page);
    start();
    feed(20);
    showPage(page.constData());
    clickClear();
    feed(5);
    ModelReader reader(ui.get());
    ui.destroy();
}

// The way it was found: the statistics page shown, counted frames cleared, the window closed
// while it is on screen, with something reading the views as they are hidden.
void TestWindowTeardown::closeAfterClearingStatistics()
{
    start();
    feed(20);
    showPage("tab_2");
    QTest::mouseClick(ui.child<QPushButton>("btClearTable"), Qt::LeftButton);
    feed(5);
    QCoreApplication::processEvents();
    ModelReader reader(ui.get());
    ui.destroy();
    QVERIFY(reader.reads > 0);
}

// Signals listed and plotted from a DBC file read at start-up: the page's tree, the plot and its
// traces go with the window as well.
void TestWindowTeardown::closeWithPlotAndSignals()
{
    const QString dbc = dir.filePath(QStringLiteral("teardown.dbc"));
    QFile file(dbc);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(signalTestDbc());
    file.close();
    start({dbc});
    showPage("tabSignals");
    feed(50);
    auto *page = ui.child<SignalsPage>("signalsPage");
    page->showFrame(testFrame(0x100, 0, 8));
    QVERIFY(page->plot()->addSignal(page->message(), 0));
    page->refresh();
    showPage("tab_2");
    clickClear();
    feed(5);
    ModelReader reader(ui.get());
    ui.destroy();
}

QUORVEX_WINDOW_TEST_MAIN(TestWindowTeardown)
#include "tst_windowteardown.moc"

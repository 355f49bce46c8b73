// SPDX-License-Identifier: GPL-3.0-or-later
// The signals in the window: DBC files from the settings, the "Сигналы" page, the log's
// tooltip, the plot and the export from the page.
#include "app/bitpanel.h"
#include "app/logsignaltips.h"
#include "app/signalplot.h"
#include "app/signalspage.h"
#include "link/timedpacket.h"
#include "log/candatamodel.h"
#include "settings/appsettings.h"
#include "signals/dbcmessage.h"
#include "signals/signaltestdbc.h"
#include "support/fdpackets.h"
#include "support/testfiles.h"
#include "support/testpackets.h"
#include "support/windowharness.h"

#include <QFileDialog>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace {

constexpr qint64 T = 1700000000000000;

// Column texts of every listed signal: "Name|value|raw|label".
QStringList listed(QTreeWidget *tree)
{
    QStringList rows;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = tree->topLevelItem(i);
        rows << QStringList{item->text(0), item->text(1), item->text(2), item->text(3)}.join('|');
    }
    return rows;
}

// An FD message with signals in bytes 8..9 and 62..63.
const QByteArray FdDbc = R"(VERSION ""
BU_: Ecu
BO_ 1024 FdFrame: 64 Ecu
 SG_ Speed : 64|16@1+ (0.01,0) [0|655.35] "km/h" Vector__XXX
 SG_ Tail : 500|12@1+ (1,0) [0|4095] "" Vector__XXX
BA_DEF_ BO_ "VFrameFormat" ENUM "StandardCAN","ExtendedCAN","reserved","reserved","reserved","reserved","reserved","reserved","reserved","reserved","reserved","reserved","reserved","reserved","StandardCAN_FD","ExtendedCAN_FD";
BA_ "VFrameFormat" BO_ 1024 14;
)";

// An FD frame of 0x400 of `bytes`: Speed 0x2710 (100 km/h), Tail 0xAB5 + `step`.
TimedPacket fdFrameAt(qint64 time, int bytes, int step = 0)
{
    TimedPacket frame{time, CanPacket()};
    frame.packet.id = 0x400;
    frame.packet.frame = CanPacket::Can0ToCan1 | CanPacket::BitRateSwitch;
    frame.packet.setFdLength(bytes);
    frame.packet.data[8] = 0x10;
    frame.packet.data[9] = 0x27;
    const int tail = 0xAB5 + step;
    frame.packet.data[62] = uint8_t((tail & 0xF) << 4);
    frame.packet.data[63] = uint8_t(tail >> 4);
    return frame;
}

} // namespace

class TestSignalsView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void settingsRoundTrip_data();
    void settingsRoundTrip();
    void missingDbcAtStartIsAStatus();
    void pageListsTheSelectedFrame();
    void bitViewFollowsTheSignal();
    void logTooltip();
    void plotReceivesThePoints();
    void exportFromThePage();
    void saveDecodedLog();
    void fdFramesListedPlottedExported();

private:
    void start(const QStringList &dbcFiles);
    void addFrames(const QVector<TimedPacket> &frames);
    void selectLogRow(int row);
    SignalsPage *page() const { return ui.child<SignalsPage>("signalsPage"); }

    QTemporaryDir dir;
    WindowHarness ui;
};

void TestSignalsView::init()
{
    QVERIFY(writeFile(dir.filePath("a.dbc"), signalTestDbc()));
}

void TestSignalsView::cleanup()
{
    ui.destroy();
}

void TestSignalsView::start(const QStringList &dbcFiles)
{
    WindowHarness::writeSettings(dir.filePath("no-port"), dir.path());
    QSettings(QStringLiteral("Veltrica"), QStringLiteral("Quorvex"))
        .setValue(QStringLiteral("DBC"), dbcFiles);
    ui.create();
}

void TestSignalsView::addFrames(const QVector<TimedPacket> &frames)
{
    auto *log = qobject_cast<CanDataModel *>(ui.log());
    for (const TimedPacket &each : frames)
        log->addFrame(each);
    QMetaObject::invokeMethod(ui.get(), "onRefreshView");
}

void TestSignalsView::selectLogRow(int row)
{
    auto *view = ui.child<QTableView>("tableView");
    view->setCurrentIndex(view->model()->index(row, 0));
}

void TestSignalsView::settingsRoundTrip_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QStringList>("loaded");
    QTest::newRow("two") << QVariant(QStringList{"/a.dbc", "/b b.dbc"})
                         << QStringList{"/a.dbc", "/b b.dbc"};
    QTest::newRow("one as text") << QVariant("/a.dbc") << QStringList{"/a.dbc"};
    QTest::newRow("blanks dropped")
        << QVariant(QStringList{"", " ", "/a.dbc"}) << QStringList{"/a.dbc"};
    QTest::newRow("wrong type") << QVariant(42) << QStringList();
    QTest::newRow("absent") << QVariant() << QStringList();
}

void TestSignalsView::settingsRoundTrip()
{
    QFETCH(QVariant, stored);
    QFETCH(QStringList, loaded);
    QSettings store(dir.filePath("s.ini"), QSettings::IniFormat);
    store.clear();
    if (stored.isValid())
        store.setValue(QStringLiteral("DBC"), stored);
    AppSettings config = loadSettings(store);
    QCOMPARE(config.dbcFiles, loaded);
    saveSettings(store, config);
    store.sync();
    QCOMPARE(loadSettings(QSettings(dir.filePath("s.ini"), QSettings::IniFormat)).dbcFiles, loaded);
}

void TestSignalsView::missingDbcAtStartIsAStatus()
{
    start({dir.filePath("gone.dbc"), dir.filePath("a.dbc")});
    QVERIFY(!QApplication::activeModalWidget());
    const QString status = ui.status("lbStatusMain");
    QVERIFY2(status.startsWith(QStringLiteral("DBC gone.dbc: ")), qPrintable(status));
    addFrames({timedFrame(T, 0x100, false, QByteArray::fromHex("0FE01027"))});
    selectLogRow(0);
    QCOMPARE(page()->message()->name, QStringLiteral("Engine")); // the other file still loads
}

void TestSignalsView::pageListsTheSelectedFrame()
{
    start({dir.filePath("a.dbc")});
    QCOMPARE(ui.status("lbStatusMain"), QStringLiteral("DBC: файлов 1, сообщений 2"));
    addFrames({timedFrame(T, 0x100, false, QByteArray::fromHex("0FE01027")),
               timedFrame(T + 1, 0x200, true, QByteArray::fromHex("010700")),
               timedFrame(T + 2, 0x200, true, QByteArray::fromHex("02FFFF"))});
    auto *tree = ui.child<QTreeWidget>("twSignals");
    selectLogRow(0);
    QCOMPARE(listed(tree), QStringList({"Speed|2500 rpm|10000|", "Temp|-42 degC|-2|cold"}));
    QCOMPARE(tree->topLevelItem(0)->toolTip(1), QStringLiteral("Crankshaft speed"));
    QCOMPARE(tree->topLevelItem(0)->text(4), QStringLiteral("[0 .. 16383.75]"));
    selectLogRow(1);
    QCOMPARE(listed(tree), QStringList({"Mx|1|1|", "One|7|7|"}));
    selectLogRow(2);
    QCOMPARE(listed(tree), QStringList({"Mx|2|2|", "Two|-0.5|-1|"}));
}

// A signal picked on the page shows its message's bits; the page filling its list does not.
void TestSignalsView::bitViewFollowsTheSignal()
{
    start({dir.filePath("a.dbc")});
    addFrames({timedFrame(T, 0x100, false, QByteArray::fromHex("0FE01027")),
               timedFrame(T + 1, 0x200, true, QByteArray::fromHex("010700"))});
    auto *bits = ui.child<BitPanel>("bitView");
    auto *shown = bits->findChild<QLabel *>("lbBitId");
    selectLogRow(1);
    bits->showId(0x100, false); // as the statistics would
    QCOMPARE(shown->text(), QStringLiteral("ID 0x100"));
    QMetaObject::invokeMethod(ui.get(), "onRefreshView"); // the page lists its frame again
    QCOMPARE(shown->text(), QStringLiteral("ID 0x100"));
    auto *tree = ui.child<QTreeWidget>("twSignals");
    QCOMPARE(tree->topLevelItem(1)->text(0), QStringLiteral("One"));
    tree->setCurrentItem(tree->topLevelItem(1));
    QCOMPARE(shown->text(), QStringLiteral("ID 0x200 (29 бит)"));
    bits->showId(0x100, false);
    tree->setCurrentItem(tree->topLevelItem(1)); // the same one again: no change
    QCOMPARE(shown->text(), QStringLiteral("ID 0x100"));
    auto *tabs = ui.child<QTabWidget>("tabWidget");
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->widget(i)->isAncestorOf(tree))
            tabs->setCurrentIndex(i);
    }
    const QRect cell = tree->visualItemRect(tree->topLevelItem(1));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(shown->text(), QStringLiteral("ID 0x200 (29 бит)"));
}

void TestSignalsView::logTooltip()
{
    start({dir.filePath("a.dbc")});
    addFrames({timedFrame(T, 0x100, false, QByteArray::fromHex("0FE01027")),
               timedFrame(T + 1, 0x100, true, QByteArray::fromHex("0FE01027"))});
    auto *tips = ui.get()->findChild<LogSignalTips *>();
    QVERIFY(tips);
    QCOMPARE(tips->textFor(0), QStringLiteral("Engine\nSpeed = 2500 rpm\nTemp = -42 degC (cold)"));
    QCOMPARE(tips->textFor(1), QString()); // a 29-bit 0x100 is another message
    // An FD row: its own tip first, then its signals.
    CanPacket fd = countingFdFrame(0x100, 12, CanPacket::BitRateSwitch);
    const QByteArray engine = QByteArray::fromHex("0FE01027");
    std::copy(engine.cbegin(), engine.cend(), fd.data);
    addFrames({{T + 2, fd}, {T + 3, countingFdFrame(0x555, 20)}});
    const QString both = tips->textFor(2);
    QVERIFY2(both.startsWith(QStringLiteral("CAN FD, BRS, длина 12\nD0: 0x0F 0xE0 0x10 0x27 0x04 "
                                            "0x05 ")),
             qPrintable(both));
    QVERIFY2(both.contains(QStringLiteral(" 0x0B\n\nEngine\n")), qPrintable(both));
    QVERIFY(tips->textFor(3).startsWith(QStringLiteral("CAN FD, длина 20\nD0: 0x00 0x01 ")));
}

void TestSignalsView::plotReceivesThePoints()
{
    start({dir.filePath("a.dbc")});
    // More rows than one refresh takes: the first read runs on a thread of its own.
    constexpr int Rows = int(SignalPlot::RowsPerRefresh) * 2;
    QVector<TimedPacket> frames;
    for (int i = 0; i < Rows; ++i)
        frames << timedFrame(T + i * 1000, i % 2 ? 0x100 : 0x300, false,
                             QByteArray::fromHex("0FE01027"));
    addFrames(frames);
    page()->showFrame(frames[1].packet);
    SignalPlot *plot = page()->plot();
    QSignalSpy collected(plot, &SignalPlot::collected);
    ui.child<QTreeWidget>("twSignals")->topLevelItem(1)->setCheckState(0, Qt::Checked);
    QCOMPARE(plot->traceCount(), 1);
    QVERIFY(collected.wait(60000));
    QCOMPARE(plot->pointCount(0), Rows / 2);
    addFrames({timedFrame(T + Rows * 1000, 0x100, false, QByteArray::fromHex("0FE01027")),
               timedFrame(T + Rows * 1000 + 1, 0x100, false, QByteArray::fromHex("00"))});
    QCOMPARE(plot->pointCount(0), Rows / 2 + 1); // one byte does not carry Temp's bits
    QVERIFY(plot->showCursorAt(1.5).endsWith(QStringLiteral("Engine.Temp, degC = -42")));
}

void TestSignalsView::exportFromThePage()
{
    start({dir.filePath("a.dbc")});
    addFrames({timedFrame(T, 0x100, false, QByteArray::fromHex("0FE01027")),
               timedFrame(T + 100000, 0x200, true, QByteArray::fromHex("010700"))});
    selectLogRow(1);
    ui.child<QTreeWidget>("twSignals")->topLevelItem(1)->setCheckState(0, Qt::Checked);
    QSignalSpy status(page(), &SignalsPage::status);
    QVERIFY(page()->exportTo(dir.filePath("plotted.csv")));
    QTRY_VERIFY(status.count() == 2);
    QCOMPARE(readFile(dir.filePath("plotted.csv")),
             QByteArray("time,Muxed.One\n1700000000.100000,7\n"));
}

// "Сохранить..." offers the decoded signals once a DBC is loaded; a name without suffix gets
// ".csv".
void TestSignalsView::saveDecodedLog()
{
    start({dir.filePath("a.dbc")});
    addFrames({timedFrame(T, 0x100, false, QByteArray::fromHex("0FE01027")),
               timedFrame(T + 100000, 0x200, true, QByteArray::fromHex("010700"))});
    QStringList offered;
    whenModal<QFileDialog>([&](QFileDialog *dialog) {
        offered = dialog->nameFilters();
        dialog->selectNameFilter(offered.last());
        dialog->selectFile(dir.filePath("decoded"));
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    });
    ui.child<QPushButton>("btSaveTable")->click();
    QCOMPARE(offered.last(), QStringLiteral("Сигналы по DBC, CSV (*.csv)"));
    QTRY_VERIFY(ui.status("lbStatusMain").startsWith(QStringLiteral("Сохранено строк: 2")));
    QCOMPARE(readFile(dir.filePath("decoded.csv")),
             QByteArray("time,Engine.Speed,Engine.Temp,Muxed.Mx,Muxed.One,Muxed.Two\n"
                        "1700000000.000000,2500,-42,,,\n1700000000.100000,,,1,7,\n"));
}

// Signals past bit 63 of FD frames, through what the window does with them: the page and the
// tooltip read the frame's 64 bytes, the plot reads them from the log's rows (on its thread for
// the backlog, then row by row) and the export writes them; a shorter FD frame carries only what
// its length holds.
void TestSignalsView::fdFramesListedPlottedExported()
{
    QVERIFY(writeFile(dir.filePath("fd.dbc"), FdDbc));
    start({dir.filePath("fd.dbc")});
    constexpr int Rows = int(SignalPlot::RowsPerRefresh) * 2;
    QVector<TimedPacket> frames;
    for (int i = 0; i < Rows; ++i)
        frames << (i % 2 ? fdFrameAt(T + i * 1000, 64, i % 3)
                         : timedFrame(T + i * 1000, 0x300, false, QByteArray::fromHex("01")));
    addFrames(frames.mid(0, 2));
    selectLogRow(1);
    auto *tree = ui.child<QTreeWidget>("twSignals");
    QCOMPARE(listed(tree), QStringList({"Speed|100 km/h|10000|", "Tail|2742|2742|"}));
    auto *tips = ui.get()->findChild<LogSignalTips *>();
    // The FD row's own tip (flags, every byte) stands above the decoded signals.
    const QString tip = tips->textFor(1);
    QVERIFY2(tip.startsWith(QStringLiteral("CAN FD, BRS")), qPrintable(tip));
    QVERIFY2(tip.endsWith(QStringLiteral("\nFdFrame\nSpeed = 100 km/h\nTail = 2742")),
             qPrintable(tip));
    page()->showFrame(fdFrameAt(T, 12).packet);
    QCOMPARE(listed(tree), QStringList({"Speed|100 km/h|10000|"}));
    addFrames(frames.mid(2));

    page()->showFrame(frames[1].packet);
    SignalPlot *plot = page()->plot();
    QSignalSpy collected(plot, &SignalPlot::collected);
    tree->topLevelItem(1)->setCheckState(0, Qt::Checked);
    QVERIFY(collected.wait(60000));
    QCOMPARE(plot->pointCount(0), Rows / 2);
    QVERIFY(plot->showCursorAt(0.0035).endsWith(QStringLiteral("FdFrame.Tail = 2741")));
    addFrames({fdFrameAt(T + Rows * 1000, 64, 7), fdFrameAt(T + Rows * 1000 + 1, 12)});
    QCOMPARE(plot->pointCount(0), Rows / 2 + 1); // twelve bytes do not carry Tail

    QSignalSpy status(page(), &SignalsPage::status);
    QVERIFY(page()->exportTo(dir.filePath("fd.csv")));
    QTRY_VERIFY(status.count() == 2);
    const QByteArrayList lines = readFile(dir.filePath("fd.csv")).trimmed().split('\n');
    QCOMPARE(lines.size(), 1 + Rows / 2 + 2);
    QCOMPARE(lines.first(), QByteArray("time,FdFrame.Tail"));
    QCOMPARE(lines.at(1), QByteArray("1700000000.001000,2742"));
    QCOMPARE(lines.at(lines.size() - 2), QByteArray("1700000040.000000,2748"));
    QCOMPARE(lines.last(), QByteArray("1700000040.000001,"));
}

QUORVEX_WINDOW_TEST_MAIN(TestSignalsView)
#include "tst_signalsview.moc"

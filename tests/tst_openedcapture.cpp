// SPDX-License-Identifier: GPL-3.0-or-later
// An opened capture beside the live log: what a replay sends, what the filters show while
// connected, and opens that fail or meet a damaged file.
#include "app/replaydialog.h"
#include "capture/capturelog.h"
#include "formats/captureformat.h"
#include "formats/capturewriter.h"
#include "link/linerecord.h"
#include "log/candatamodel.h"
#include "log/logrecord.h"
#include "log/rowstore.h"
#include "support/ptypair.h"
#include "support/testfiles.h"
#include "support/windowharness.h"

#include <QAction>
#include <QBuffer>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <functional>

class TestOpenedCapture : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void replaySendsOnlyTheCapture();
    void filtersShowTheCaptureThenTheLiveRows();
    void failedOpenKeepsTheLog();
    void damagedCaptureOpens();
    void candumpScreenOutputOpens();
    void rowsInNoFileAreAskedFor();
    void brokenFileKeepsWhatWasRead();
    void damagedContainerCostsOnlyItself();
    void rereadKeepsLiveRowsBehindTheCapture();

private:
    QString writeCapture(const QString &name, const QByteArray &tail = {}) const;
    void openConnectAndSendLive();
    void sendLive(int count);
    QString idAt(int row) const { return ui.log()->index(row, 0).data().toString(); }

    std::unique_ptr<PtyPair> pty;
    QTemporaryDir dir;
    WindowHarness ui;
};

namespace {
constexpr int CaptureFrames = 20;
constexpr int LiveFrames = 5;
const QString LiveId = QStringLiteral("0x000007FF");

// `count` frames as our writer makes a BLF file of them, 2,731 to a container.
QByteArray blfCapture(int count)
{
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    const auto writer = CaptureFormats::createWriter(CaptureFormat::Blf, &bytes);
    for (int i = 0; i < count; ++i) {
        CanPacket p;
        p.id = uint32_t(i % 0x700);
        p.rtl = 8;
        std::memcpy(p.data, &i, sizeof i);
        writer->write({1700000000000000LL + i * 100, p});
    }
    return writer->finish() ? bytes.data() : QByteArray();
}

// Runs `act`; a question box it opens is answered with `answer`. The box's text, or an empty
// text when none was asked.
QString answering(QMessageBox::StandardButton answer, const std::function<void()> &act)
{
    QString asked;
    bool done = false;
    std::function<void()> watch = [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            asked = box->text();
            box->button(answer)->click();
        } else if (!done) {
            QTimer::singleShot(10, watch);
        }
    };
    QTimer::singleShot(0, watch);
    act();
    done = true;
    QCoreApplication::processEvents();
    return asked;
}
} // namespace

void TestOpenedCapture::init()
{
    pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isValid());
    WindowHarness::writeSettings(pty->portName(), dir.path());
}

void TestOpenedCapture::cleanup()
{
    ui.destroy();
    pty.reset();
}

// 20 frames a millisecond apart, identifiers 0x100 to 0x113; even ones on CAN0, odd on CAN1.
QString TestOpenedCapture::writeCapture(const QString &name, const QByteArray &tail) const
{
    QByteArray text;
    for (int i = 0; i < CaptureFrames; ++i) {
        text += QStringLiteral("(1700000000.%1) %2 %3#0102\n")
                    .arg(i * 1000, 6, 10, QLatin1Char('0'))
                    .arg(QLatin1String(i % 2 ? "can1" : "can0"))
                    .arg(0x100 + i, 3, 16)
                    .toLatin1();
        if (i == CaptureFrames / 2 && !tail.isEmpty()) // damage in the middle too
            text += QByteArray("\x00\xff\xfe (1.0) can0 1#\x00\n", 19);
    }
    const QString path = dir.filePath(name);
    return ::writeFile(path, text + tail) ? path : QString();
}

void TestOpenedCapture::sendLive(int count)
{
    CanPacket p;
    p.id = 0x7FF;
    p.frame = CanPacket::Can0ToCan1;
    p.rtl = 1;
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += LineRecord::moduleRecord(p);
    QVERIFY(pty->write(bytes));
}

// The capture, then the module connected and live frames logged after it.
void TestOpenedCapture::openConnectAndSendLive()
{
    ui.create();
    ui.get()->openCapture(writeCapture(QStringLiteral("bus.log")));
    QTRY_COMPARE(ui.log()->rowCount(), CaptureFrames);
    QVERIFY(ui.connectPort());
    sendLive(LiveFrames);
    QTRY_COMPARE(ui.log()->rowCount(), CaptureFrames + LiveFrames);
}

void TestOpenedCapture::replaySendsOnlyTheCapture()
{
    openConnectAndSendLive();
    QString planned;
    QString done;
    bool finished = false;
    whenModal<ReplayDialog>([&](ReplayDialog *dialog) {
        planned = dialog->findChild<QLabel *>("lbReplayState")->text();
        auto *start = dialog->findChild<QPushButton *>("btReplayStart");
        start->click(); // in the capture's own timing
        finished = QTest::qWaitFor([start] { return start->isEnabled(); }, 20000);
        done = dialog->findChild<QLabel *>("lbReplayState")->text();
        dialog->findChild<QPushButton *>("btReplayClose")->click(); // whatever happened
    });
    ui.child<QAction>("actionReplay")->trigger();
    QVERIFY(finished);
    QCOMPARE(planned, QStringLiteral("Кадров в открытом журнале: %1").arg(CaptureFrames));
    QCOMPARE(done, QStringLiteral("Отправлено: %1 из %1, круг 1").arg(CaptureFrames));
    const QByteArray sent = pty->read(CaptureFrames * LineRecord::Size, 5000);
    QCOMPARE(sent.size(), CaptureFrames * LineRecord::Size);
    const auto *log = qobject_cast<CanDataModel *>(ui.log());
    CanPacket last = log->frameAt(CaptureFrames - 1).packet;
    last.direct = CanPacket::Transmitted;
    QCOMPARE(sent.right(LineRecord::Size), LineRecord::hostRecord(last));
    QVERIFY(pty->read(1, 300).isEmpty()); // no live row went back onto the bus
}

void TestOpenedCapture::filtersShowTheCaptureThenTheLiveRows()
{
    openConnectAndSendLive();
    ui.setCombo("cbDirect", 32); // CAN1->CAN0: the odd half of the capture
    QTRY_COMPARE(ui.log()->rowCount(), CaptureFrames / 2 + LiveFrames);
    QCOMPARE(idAt(0), QStringLiteral("0x00000101"));
    QCOMPARE(idAt(CaptureFrames / 2 - 1), QStringLiteral("0x00000113"));
    QCOMPARE(idAt(CaptureFrames / 2), LiveId);
    ui.setCombo("cbMASK", 3); // 29-bit only: none of the capture
    QTRY_COMPARE(ui.log()->rowCount(), LiveFrames);
    ui.setCombo("cbMASK", 0);
    ui.setCombo("cbDirect", 240);
    QTRY_COMPARE(ui.log()->rowCount(), CaptureFrames + LiveFrames);
    QCOMPARE(idAt(0), QStringLiteral("0x00000100"));
    QCOMPARE(idAt(CaptureFrames - 1), QStringLiteral("0x00000113"));
    for (int row = CaptureFrames; row < CaptureFrames + LiveFrames; ++row)
        QCOMPARE(idAt(row), LiveId);
    sendLive(2); // live frames go on after them
    QTRY_COMPARE(ui.log()->rowCount(), CaptureFrames + LiveFrames + 2);
    QCOMPARE(idAt(CaptureFrames + LiveFrames + 1), LiveId);
    QCOMPARE(idAt(0), QStringLiteral("0x00000100"));
}

void TestOpenedCapture::failedOpenKeepsTheLog()
{
    ui.create();
    ui.get()->openCapture(writeCapture(QStringLiteral("bus.log")));
    QTRY_COMPARE(ui.log()->rowCount(), CaptureFrames);
    QTRY_VERIFY(ui.get()->windowTitle().endsWith(QStringLiteral("bus.log")));
    const struct
    {
        const char *name;
        QByteArray bytes;
        QString status;
    } failures[] = {
        {"picture.png", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
         QStringLiteral("Журнал не открыт: неизвестный формат файла (picture.png)")},
        {"garbage.log", QByteArray("\x01\x02\0\x03\nnot a frame\n", 17),
         QStringLiteral("Журнал не открыт: файл не похож на журнал candump (garbage.log)")},
        {"empty.log", QByteArray(),
         QStringLiteral("Журнал не открыт: в файле нет кадров (empty.log)")},
    };
    for (const auto &failure : failures) {
        const QString path = dir.filePath(QLatin1String(failure.name));
        QVERIFY(::writeFile(path, failure.bytes));
        ui.get()->openCapture(path);
        QTRY_COMPARE(ui.status("lbStatusMain"), failure.status);
        // Said where the user looks, not only in the status bar.
        QPointer<QMessageBox> box =
            ui.get()->findChild<QMessageBox *>(QStringLiteral("openFailed"));
        QVERIFY(box);
        QVERIFY2(box->text().contains(path) &&
                     box->text().contains(failure.status.section(QLatin1Char(':'), 1)
                                              .section(QStringLiteral(" ("), 0, 0)
                                              .trimmed()),
                 qPrintable(box->text()));
        box->close();
        QTRY_VERIFY(!box);
        QCOMPARE(ui.log()->rowCount(), CaptureFrames);
        QVERIFY(ui.get()->windowTitle().endsWith(QStringLiteral("bus.log")));
        QCOMPARE(idAt(CaptureFrames - 1), QStringLiteral("0x00000113"));
    }
    // The capture in the log is still the one the filters read again.
    ui.setCombo("cbDirect", 16);
    QTRY_COMPARE(ui.log()->rowCount(), CaptureFrames / 2);
}

// A recording cut by a power cut: its last blocks zeroed; and a binary line in the middle. The
// status says where the first damage is.
void TestOpenedCapture::damagedCaptureOpens()
{
    ui.create();
    ui.get()->openCapture(writeCapture(QStringLiteral("cut.log"), QByteArray(4096, '\0')));
    QTRY_COMPARE(ui.status("lbStatusMain"),
                 QStringLiteral("Загружено кадров: %1 | Пропущено записей: 2, повреждённых мест: 2 "
                                "(первое: строка %2)")
                     .arg(CaptureFrames)
                     .arg(CaptureFrames / 2 + 2));
    QTRY_COMPARE(ui.log()->rowCount(), CaptureFrames);
    QCOMPARE(idAt(CaptureFrames - 1), QStringLiteral("0x00000113"));
}

// What candump printed on the screen, saved without a candump suffix, opens as a capture.
void TestOpenedCapture::candumpScreenOutputOpens()
{
    ui.create();
    const QString path = dir.filePath(QStringLiteral("candump-can0.txt"));
    QVERIFY(::writeFile(path, "(1700000000.000000)  can0  123   [2]  01 02\n"
                              "(1700000000.010000)  can1  18FCF200   [8]  E1 FF FF FF FF FF FF FF\n"
                              "(1700000000.020000)  can0  7FF   [1]  remote request\n"
                              "this line is no frame\n"));
    ui.get()->openCapture(path);
    QTRY_VERIFY(ui.status("lbStatusMain")
                    .startsWith(QStringLiteral("Загружено кадров: 3 | Пропущено записей: 1")));
    QTRY_COMPARE(ui.log()->rowCount(), 3);
    QCOMPARE(idAt(1), QStringLiteral("0x18FCF200"));
    QVERIFY(ui.get()->windowTitle().endsWith(QStringLiteral("candump-can0.txt")));
}

// Live rows with recording off are in no file: dropping them takes a yes, with their number.
void TestOpenedCapture::rowsInNoFileAreAskedFor()
{
    QSettings(QStringLiteral("Veltrica"), QStringLiteral("Quorvex"))
        .setValue(QStringLiteral("RECORD"), false);
    ui.create();
    QVERIFY(ui.connectPort());
    sendLive(LiveFrames);
    QTRY_COMPARE(ui.log()->rowCount(), LiveFrames);
    auto *clear = ui.child<QPushButton>("btClearTable");
    const QString asked = answering(QMessageBox::No, [clear] { clear->click(); });
    QVERIFY2(asked.contains(QStringLiteral(": %1.").arg(LiveFrames)), qPrintable(asked));
    QVERIFY(asked.contains(QStringLiteral("Очистить журнал")));
    QCOMPARE(ui.log()->rowCount(), LiveFrames);
    QVERIFY(!answering(QMessageBox::Yes, [clear] { clear->click(); }).isEmpty());
    QCOMPARE(ui.log()->rowCount(), 0);
    QVERIFY(answering(QMessageBox::Yes, [clear] { clear->click(); }).isEmpty()); // nothing to lose

    // Opening a capture over them.
    sendLive(3);
    QTRY_COMPARE(ui.log()->rowCount(), 3);
    ui.child<QAction>("actionOpenPort")->trigger(); // opens go with the port closed
    const QString path = writeCapture(QStringLiteral("bus.log"));
    QVERIFY(!answering(QMessageBox::No, [&] { ui.get()->openCapture(path); }).isEmpty());
    QTest::qWait(50);
    QCOMPARE(ui.log()->rowCount(), 3);
    QVERIFY(!answering(QMessageBox::Yes, [&] { ui.get()->openCapture(path); }).isEmpty());
    QTRY_COMPARE(ui.log()->rowCount(), CaptureFrames);
    // Rows read from a file are in one.
    QVERIFY(answering(QMessageBox::No, [clear] { clear->click(); }).isEmpty());
    QCOMPARE(ui.log()->rowCount(), 0);

    // Closing the window.
    QVERIFY(ui.connectPort());
    sendLive(2);
    QTRY_COMPARE(ui.log()->rowCount(), 2);
    bool closed = true;
    QVERIFY(answering(QMessageBox::No, [&] {
                closed = ui.get()->close();
            }).contains(QStringLiteral("Закрыть программу")));
    QVERIFY(!closed);
    QVERIFY(ui.get()->isVisible());
    answering(QMessageBox::Yes, [&] { closed = ui.get()->close(); });
    QVERIFY(closed);
    // A stop by signal has nobody to ask.
    ui.get()->show();
    sendLive(1);
    QTRY_COMPARE(ui.log()->rowCount(), 3);
    QVERIFY(answering(QMessageBox::No, [&] { ui.get()->stop(); }).isEmpty());
    QVERIFY(!ui.get()->isVisible());
}

// A file that breaks off part-way: what was read stays, and the status says the file was not
// read whole.
void TestOpenedCapture::brokenFileKeepsWhatWasRead()
{
    const QByteArray bytes = blfCapture(20000);
    const QString path = dir.filePath(QStringLiteral("cut.blf"));
    QVERIFY(::writeFile(path, bytes.left(bytes.size() * 2 / 3)));
    ui.create();
    ui.get()->openCapture(path);
    const QString prefix =
        QStringLiteral("Журнал прочитан не полностью (журнал BLF обрезан), кадров: ");
    QTRY_VERIFY(ui.status("lbStatusMain").startsWith(prefix));
    const QString status = ui.status("lbStatusMain").mid(prefix.size());
    const int read = status.section(QLatin1Char(' '), 0, 0).toInt();
    QVERIFY(read > 0 && read < 20000);
    // The cut container is where the damage is said to begin.
    QVERIFY2(status.contains(QStringLiteral(" | Пропущено записей: 1, повреждённых мест: 1 "
                                            "(первое: байт ")),
             qPrintable(status));
    QTRY_COMPARE(ui.log()->rowCount(), read);
    QVERIFY(ui.get()->windowTitle().endsWith(QStringLiteral("cut.blf")));
}

// A BLF file with a damaged container: every frame of the others is logged, and the status says
// what was skipped and where.
void TestOpenedCapture::damagedContainerCostsOnlyItself()
{
    QByteArray damaged = blfCapture(10000); // four containers of 2,731 frames, the last one less
    const int second = damaged.indexOf("LOBJ", 144 + 4); // the second container
    damaged[second + 100] = char(damaged[second + 100] ^ 0x10);
    const QString path = dir.filePath(QStringLiteral("damaged.blf"));
    QVERIFY(::writeFile(path, damaged));
    ui.create();
    ui.get()->openCapture(path);
    const int kept = 10000 - 2731;
    QTRY_COMPARE(ui.status("lbStatusMain"),
                 QStringLiteral("Загружено кадров: %1 | Пропущено записей: 1, повреждённых мест: 1 "
                                "(первое: байт %2)")
                     .arg(kept)
                     .arg(second));
    QTRY_COMPARE(ui.log()->rowCount(), kept);
    QVERIFY(ui.get()->windowTitle().endsWith(QStringLiteral("damaged.blf")));
}

// A re-read puts the capture first, then the live rows logged before it, then those that arrived
// while it was read; a replay takes the capture's rows only.
void TestOpenedCapture::rereadKeepsLiveRowsBehindTheCapture()
{
    CanDataModel model(nullptr, dir.path());
    CaptureLog log(&model);
    const auto frame = [](uint32_t id) {
        TimedPacket f{1700000000000000LL + id, CanPacket()};
        f.packet.id = id;
        return f;
    };
    const auto ids = [&model] {
        QList<uint32_t> seen;
        for (int row = 0; row < model.store().size(); ++row)
            seen << model.store().at(row).id;
        return seen;
    };
    log.beginCapture();
    for (uint32_t id : {1, 2, 3})
        log.addCaptureFrame(frame(id));
    log.endCapture();
    log.addLiveFrame(frame(100));
    log.addLiveFrame(frame(101));
    QCOMPARE(ids(), QList<uint32_t>({1, 2, 3, 100, 101}));

    log.beginReread();
    log.addCaptureFrame(frame(2)); // the new filters let one through
    log.addLiveFrame(frame(102));
    QVERIFY(log.isRereading());
    log.endCapture();
    QCOMPARE(ids(), QList<uint32_t>({2, 100, 101, 102}));
    QCOMPARE(log.captureRows(), qint64(1));
    QCOMPARE(log.captureSnapshot().size(), qint64(1));
    QCOMPARE(log.captureRowsOf({0, 1, 3}), QVector<qint64>({0}));
    LogRecord record{};
    QVERIFY(log.captureSnapshot().read(0, &record));
    QCOMPARE(record.id, 2u);
    QVERIFY(!log.captureSnapshot().read(1, &record));
}

QUORVEX_WINDOW_TEST_MAIN(TestOpenedCapture)
#include "tst_openedcapture.moc"

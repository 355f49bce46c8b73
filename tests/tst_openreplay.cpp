// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/replaydialog.h"
#include "link/linerecord.h"
#include "link/timedpacket.h"
#include "log/candatamodel.h"
#include "support/ptypair.h"
#include "support/windowharness.h"

#include <QAction>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>

// Captures opened from files, and sent back to the bus, through the main window.
class TestOpenReplay : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensWhatPythonCanWrote();
    void liveRecordingOpensAsTheSameTable();
    void replaySendsEveryRowAsTransmitted();

private:
    void send(const QVector<CanPacket> &frames);
    QStringList rowTexts(int row) const;

    std::unique_ptr<PtyPair> pty;
    QTemporaryDir dir;
    WindowHarness ui;
};

namespace {

CanPacket frame(uint32_t id, uint8_t route, uint8_t first)
{
    CanPacket p;
    p.id = id;
    p.frame = route | (id > 0x7FF ? CanPacket::Extended : 0);
    p.rtl = 3;
    p.data[0] = first;
    p.data[2] = 0xEE;
    return p;
}

// 200 frames on two lines, a CAN FD line (a frame too) and a broken line, written by python-can's
// own Logger.
const char PythonWriter[] = R"(
import can, sys
with can.Logger(sys.argv[1]) as out:
    for i in range(200):
        out.on_message_received(can.Message(timestamp=1700000000 + i * 0.01,
            arbitration_id=0x100 + i % 4 if i % 2 else 0x18DAF100 + i % 3,
            is_extended_id=not i % 2, data=bytes([i % 256, 1, 2]),
            channel='can0' if i % 5 else 'can1'))
with open(sys.argv[1], 'a') as out:
    out.write('(1700000003.000000) can0 123##0112233\n(1700000003.5) can0 12G#00\n')
)";

} // namespace

void TestOpenReplay::init()
{
    pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isValid());
    WindowHarness::writeSettings(pty->portName(), dir.path());
}

void TestOpenReplay::cleanup()
{
    ui.destroy();
    pty.reset();
}

void TestOpenReplay::send(const QVector<CanPacket> &frames)
{
    QByteArray bytes;
    for (const CanPacket &p : frames)
        bytes += LineRecord::moduleRecord(p);
    QVERIFY(pty->write(bytes));
}

QStringList TestOpenReplay::rowTexts(int row) const
{
    QStringList texts;
    for (int column = 0; column < ui.log()->columnCount(); ++column)
        texts << ui.log()->index(row, column).data().toString();
    return texts;
}

void TestOpenReplay::opensWhatPythonCanWrote()
{
    const QString path = dir.filePath(QStringLiteral("python.log"));
    QCOMPARE(QProcess::execute(QStringLiteral("/usr/bin/python3"),
                               {QStringLiteral("-c"), QLatin1String(PythonWriter), path}),
             0);
    ui.create();
    ui.get()->openCapture(path);
    QTRY_COMPARE(ui.log()->rowCount(), 201);
    QTRY_VERIFY(ui.status("lbStatusMain").contains(QStringLiteral("Пропущено записей: 1")));
    QVERIFY(ui.get()->windowTitle().endsWith(QStringLiteral("python.log")));
    QCOMPARE(rowTexts(1).mid(0, 6), QStringList({"0x00000101", "SFF", "0", "3", "0x01", "0x01"}));
    QCOMPARE(rowTexts(0).at(12), QStringLiteral("RX (CAN1->CAN0)")); // can1: line CAN1
    QCOMPARE(rowTexts(0).at(1), QStringLiteral("EFF"));
    // The filters apply to a loaded capture as to a live one: it is read again.
    ui.setCombo("cbDirect", 32);
    QTRY_COMPARE(ui.log()->rowCount(), 40);
    ui.setCombo("cbDirect", 240);
    ui.setCombo("cbMASK", 3); // 29-bit only
    QTRY_COMPARE(ui.log()->rowCount(), 100);
}

void TestOpenReplay::liveRecordingOpensAsTheSameTable()
{
    ui.create();
    QVERIFY(ui.connectPort());
    QVector<CanPacket> frames;
    for (uint8_t i = 0; i < 50; ++i)
        frames << frame(i % 2 ? 0x7FF : 0x1ABCDEF0,
                        i % 3 ? CanPacket::Can0ToCan1 : CanPacket::Can1ToCan0, i);
    send(frames);
    QTRY_COMPARE(ui.log()->rowCount(), 50);
    QList<QStringList> live;
    for (int row = 0; row < 50; ++row)
        live << rowTexts(row);
    ui.child<QAction>("actionOpenPort")->trigger(); // closing writes the recording out
    const QStringList recordings =
        QDir(dir.path()).entryList({QStringLiteral("quorvex-*.log")}, QDir::Files);
    QCOMPARE(recordings.size(), 1);
    ui.get()->openCapture(dir.filePath(recordings.first()));
    // The live rows count 50 too: the capture's rows are there once it is loaded and shown.
    QTRY_VERIFY(ui.status("lbStatusMain").startsWith(QStringLiteral("Загружено кадров: 50")));
    QTRY_COMPARE(ui.log()->rowCount(), 50);
    for (int row = 0; row < 50; ++row)
        QCOMPARE(rowTexts(row), live[row]);
}

void TestOpenReplay::replaySendsEveryRowAsTransmitted()
{
    const QString path = dir.filePath(QStringLiteral("python.log"));
    QCOMPARE(QProcess::execute(QStringLiteral("/usr/bin/python3"),
                               {QStringLiteral("-c"), QLatin1String(PythonWriter), path}),
             0);
    ui.create();
    QVERIFY(!ui.child<QAction>("actionReplay")->isEnabled());
    ui.get()->openCapture(path);
    QTRY_COMPARE(ui.log()->rowCount(), 201);
    QVERIFY(ui.connectPort());
    QTRY_VERIFY(ui.child<QAction>("actionReplay")->isEnabled());
    whenModal<ReplayDialog>([](ReplayDialog *dialog) {
        dialog->findChild<QRadioButton *>("rbFixedGap")->setChecked(true);
        dialog->findChild<QSpinBox *>("sbGap")->setValue(0);
        dialog->findChild<QPushButton *>("btReplayStart")->click();
        QTRY_VERIFY(dialog->findChild<QPushButton *>("btReplayStart")->isEnabled());
        dialog->findChild<QPushButton *>("btReplayClose")->click();
    });
    ui.child<QAction>("actionReplay")->trigger();
    const QByteArray sent = pty->read(200 * LineRecord::Size, 5000);
    QCOMPARE(sent.size(), 200 * LineRecord::Size);
    // In the capture's order, as the link encodes them, and logged as TX.
    const auto *log = qobject_cast<CanDataModel *>(ui.log());
    for (int row : {0, 1, 199}) {
        CanPacket expected = log->frameAt(row).packet;
        expected.direct = CanPacket::Transmitted;
        QCOMPARE(sent.mid(row * LineRecord::Size, LineRecord::Size),
                 LineRecord::hostRecord(expected));
    }
    // The module sends no CAN FD: the capture's last row, an FD frame, is not sent or logged.
    QTRY_COMPARE(ui.log()->rowCount(), 401);
    QCOMPARE(rowTexts(201).at(12), QStringLiteral("TX"));
    QCOMPARE(rowTexts(202).mid(0, 5), rowTexts(1).mid(0, 5));
}

QUORVEX_WINDOW_TEST_MAIN(TestOpenReplay)
#include "tst_openreplay.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/configdialog.h"
#include "app/transmit/senddialog.h"
#include "support/ptypair.h"
#include "support/simprocess.h"
#include "support/windowharness.h"
#include "transmit/transmitlist.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

const QString Lost = QStringLiteral(" ошибка соединения");

QImage iconImage(const QIcon &icon)
{
    return icon.pixmap(24, 24).toImage();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Points `link` at `target`, replacing an older link: the same port name for a new device.
bool pointLink(const QString &link, const QString &target)
{
    QFile::remove(link);
    return QFile::link(target, link);
}

// Keeps the file at `path` as it was before the test, whatever the test writes there.
class FileKeeper final
{
public:
    explicit FileKeeper(const QString &path) : path(path), existed(QFile::exists(path))
    {
        if (existed)
            bytes = readFile(path);
    }
    ~FileKeeper()
    {
        QFile::remove(path);
        if (existed)
            writeFile(path, bytes);
    }
    FileKeeper(const FileKeeper &) = delete;
    FileKeeper &operator=(const FileKeeper &) = delete;

private:
    QString path;
    bool existed;
    QByteArray bytes;
};

} // namespace

// The window when the outside world misbehaves: the port goes away, is missing or busy, and the
// stored settings are damaged.
class TestFaultsWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void portVanishesWhileStreaming();
    void missingPortChangesNothingElse();
    void busyPortIsReported();
    void damagedSettingsStartNormally();
    void transmitListStaysInTheApplicationDirectory_data();
    void transmitListStaysInTheApplicationDirectory();
    void configDialogKeepsTheListInside();

private:
    void expectStartUpTexts();

    std::unique_ptr<QTemporaryDir> tmp;
    WindowHarness ui;
};

void TestFaultsWindow::init()
{
    tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp->isValid());
}

void TestFaultsWindow::cleanup()
{
    ui.destroy();
    tmp.reset();
}

void TestFaultsWindow::expectStartUpTexts()
{
    QCOMPARE(ui.status("lbStatusMain"), QStringLiteral("Старт программы"));
    QCOMPARE(ui.status("lbStatusCan"), QStringLiteral("unkhown"));
    QCOMPARE(ui.status("lbStatusPort"), QStringLiteral("unkhown"));
}

// The module is pulled out in the middle of a stream: the capture stays, the next module works.
void TestFaultsWindow::portVanishesWhileStreaming()
{
    const QString link = tmp->filePath(QStringLiteral("tarvix"));
    auto sim = std::make_unique<SimProcess>();
    QVERIFY(sim->start({QStringLiteral("--rate"), QStringLiteral("max")}));
    QVERIFY(pointLink(link, sim->portName()));
    WindowHarness::writeSettings(link, tmp->path());
    ui.create();
    QAbstractItemModel *log = ui.log();
    int removed = 0;
    connect(log, &QAbstractItemModel::rowsRemoved, this, [&] { ++removed; });
    connect(log, &QAbstractItemModel::modelReset, this, [&] { ++removed; });
    QVERIFY(ui.connectPort());
    QTRY_VERIFY_WITH_TIMEOUT(log->rowCount() > 2000, 20000);

    const int before = log->rowCount();
    sim.reset(); // killed while it streams
    QTRY_COMPARE_WITH_TIMEOUT(ui.status("lbStatusPort"), link + Lost, 10000);
    QVERIFY(log->rowCount() >= before);
    QCOMPARE(removed, 0);
    const int kept = log->rowCount();
    QTest::qWait(3 * MainWindow::RefreshMs);
    QCOMPARE(log->rowCount(), kept);

    sim = std::make_unique<SimProcess>();
    QVERIFY(sim->start({QStringLiteral("--rate"), QStringLiteral("max")}));
    QVERIFY(pointLink(link, sim->portName()));
    QVERIFY(ui.connectPort());
    QTRY_VERIFY_WITH_TIMEOUT(log->rowCount() > kept + 100, 20000);
    QCOMPARE(removed, 0);
}

void TestFaultsWindow::missingPortChangesNothingElse()
{
    const QString absent = tmp->filePath(QStringLiteral("no-such-port"));
    WindowHarness::writeSettings(absent, tmp->path());
    ui.create();
    auto *action = ui.child<QAction>("actionOpenPort");
    for (int attempt = 0; attempt < 2; ++attempt) {
        QVERIFY(!ui.connectPort());
        QCOMPARE(ui.status("lbStatusPort"), absent + Lost);
        QCOMPARE(ui.status("lbStatusMain"), QStringLiteral("Старт программы"));
        QCOMPARE(ui.status("lbStatusCan"), QStringLiteral("unkhown"));
        QCOMPARE(iconImage(action->icon()), iconImage(QIcon(":/images/usboff.png")));
        QCOMPARE(ui.log()->rowCount(), 0);
    }
}

// QSerialPort opens a port exclusively: a second opener is refused, root included.
void TestFaultsWindow::busyPortIsReported()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    WindowHarness::writeSettings(pty.portName(), tmp->path());
    auto holder = std::make_unique<QSerialPort>(pty.portName());
    QVERIFY2(holder->open(QIODevice::ReadWrite), qPrintable(holder->errorString()));
    ui.create();
    QVERIFY(!ui.connectPort());
    QCOMPARE(ui.status("lbStatusPort"), holder->portName() + Lost); // the name as the port gives it

    holder.reset(); // let go: the next attempt succeeds
    QVERIFY(ui.connectPort());
}

void TestFaultsWindow::damagedSettingsStartNormally()
{
    {
        QSettings store(QStringLiteral("Veltrica"), QStringLiteral("Quorvex"));
        store.clear();
        store.setValue(QStringLiteral("BAUD"), QStringLiteral("abc"));
        store.setValue(QStringLiteral("TX"), QStringLiteral("maybe"));
        store.setValue(QStringLiteral("PORT"), QString());
        store.setValue(QStringLiteral("FILENAME"), QStringLiteral("../../x.json"));
        store.setValue(QStringLiteral("CANSPEED"), QStringLiteral("zz"));
        store.setValue(QStringLiteral("WORKDIR"), tmp->path());
    }
    ui.create();
    expectStartUpTexts();
    QVERIFY(ui.child<QCheckBox>("chkTX")->isChecked());
    QCOMPARE(ui.child<QCheckBox>("chkTX")->text(), QStringLiteral("Отображать TX пакеты"));
    QVERIFY(!ui.connectPort());
    QCOMPARE(ui.status("lbStatusPort"), QStringLiteral("COM1") + Lost);

    ui.destroy(); // written back at exit: sensible values, the carried one as it was
    QSettings store(QStringLiteral("Veltrica"), QStringLiteral("Quorvex"));
    QCOMPARE(store.value(QStringLiteral("BAUD")).toString(), QStringLiteral("115200"));
    QCOMPARE(store.value(QStringLiteral("PORT")).toString(), QStringLiteral("COM1"));
    QCOMPARE(store.value(QStringLiteral("FILENAME")).toString(),
             QStringLiteral("write_packets.json"));
    QCOMPARE(store.value(QStringLiteral("CANSPEED")).toString(), QStringLiteral("zz"));
}

void TestFaultsWindow::transmitListStaysInTheApplicationDirectory_data()
{
    QTest::addColumn<bool>("absolute");
    QTest::newRow("climbing with ..") << false;
    QTest::newRow("absolute") << true;
}

// A stored name pointing elsewhere is neither read nor written; the default name beside the
// program is used instead.
void TestFaultsWindow::transmitListStaysInTheApplicationDirectory()
{
    QFETCH(bool, absolute);
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString outside = tmp->filePath(QStringLiteral("outside.json"));
    CanPacket probe;
    probe.id = 0x5A5A5;
    const QByteArray outsideText = TransmitList::toJson({probe});
    QVERIFY(writeFile(outside, outsideText));
    const FileKeeper keeper(appDir + QStringLiteral("/write_packets.json"));
    QFile::remove(appDir + QStringLiteral("/write_packets.json"));

    PtyPair pty;
    QVERIFY(pty.isValid());
    WindowHarness::writeSettings(pty.portName(), tmp->path());
    QSettings(QStringLiteral("Veltrica"), QStringLiteral("Quorvex"))
        .setValue(QStringLiteral("FILENAME"),
                  absolute ? outside : QDir(appDir).relativeFilePath(outside));
    ui.create();
    QVERIFY(ui.connectPort());
    int shownId = -1;
    whenModal<SendDialog>([&](SendDialog *dialog) {
        auto *grid = dialog->findChild<QGridLayout *>(QStringLiteral("gridLayout"));
        shownId = qobject_cast<QSpinBox *>(grid->itemAtPosition(1, 2)->widget())->value();
        qobject_cast<QCheckBox *>(grid->itemAtPosition(1, 1)->widget())->setChecked(true);
        dialog->findChild<QPushButton *>(QStringLiteral("btOK"))->click();
    });
    ui.child<QAction>("actionSetRequsestPackets")->trigger();
    QVERIFY(shownId >= 0); // the dialog was up
    QVERIFY(shownId != int(probe.id));
    QCOMPARE(ui.status("lbStatusMain"), QStringLiteral("Запись пакета отправки, ОК"));
    QCOMPARE(readFile(outside), outsideText);
    QVERIFY(QFile::exists(appDir + QStringLiteral("/write_packets.json")));
}

void TestFaultsWindow::configDialogKeepsTheListInside()
{
    ConfigDialog dialog;
    dialog.setSettings(AppSettings::defaults());
    auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("edFileName"));
    auto *save = dialog.findChild<QPushButton *>(QStringLiteral("btSave"));
    const QString cases[][2] = {{"../../x.json", "write_packets.json"},
                                {"/tmp/x.json", "write_packets.json"},
                                {"lists/a.json", "lists/a.json"},
                                {"mine.json", "mine.json"}};
    for (const auto &entry : cases) {
        name->setText(entry[0]);
        save->click();
        QCOMPARE(dialog.getSettings().fileName, entry[1]);
    }
}

QUORVEX_WINDOW_TEST_MAIN(TestFaultsWindow)
#include "tst_faults_window.moc"

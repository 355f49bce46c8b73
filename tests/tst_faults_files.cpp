// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/transmit/senddialog.h"
#include "log/candatamodel.h"
#include "support/filesizelimit.h"
#include "support/testfiles.h"
#include "support/testpackets.h"
#include "support/windowharness.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QByteArray Old = "the previous content\n";

enum class Fault { ReadOnlyDirectory, DiskFull, PathIsDirectory };

// The immutable attribute stops root as well; permission bits stop everybody else.
bool setImmutable(const QString &path, bool on)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

// A directory in which nothing can be created, renamed or removed while this object lives.
class LockedDirectory final
{
public:
    explicit LockedDirectory(const QString &path) : path(path)
    {
        immutable = setImmutable(path, true);
        if (!immutable)
            QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    ~LockedDirectory()
    {
        if (immutable)
            setImmutable(path, false);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner);
    }
    LockedDirectory(const LockedDirectory &) = delete;
    LockedDirectory &operator=(const LockedDirectory &) = delete;

    bool holds() const
    {
        return !QFile(path + QStringLiteral("/probe")).open(QIODevice::WriteOnly);
    }

private:
    QString path;
    bool immutable = false;
};

template<typename T> T *cell(const SendDialog &dialog, int row, int column)
{
    auto *grid = dialog.findChild<QGridLayout *>(QStringLiteral("gridLayout"));
    return qobject_cast<T *>(grid->itemAtPosition(row + 1, column)->widget());
}

bool rowOn(const SendDialog &dialog, int row)
{
    return cell<QCheckBox>(dialog, row, 1)->isChecked();
}

// Entries as another program might write them: compact, only some members.
QByteArray listOf(int count)
{
    QByteArray text = "{\"SendPackets\":[";
    text.reserve(count * 48 + 32);
    for (int i = 1; i <= count; ++i)
        text += "{\"pid\":" + QByteArray::number(i) +
                ",\"prtl\":8,\"data0\":" + QByteArray::number(i % 256) + ",\"pdelay\":0},";
    text.chop(1);
    return text + "]}";
}

// `size` bytes that are no transmit list.
QByteArray garbage(const QString &kind, int size)
{
    if (kind == QLatin1String("deep nesting"))
        return "{\"SendPackets\":" + QByteArray(size, '[');
    if (kind == QLatin1String("endless string"))
        return "{\"SendPackets\":\"" + QByteArray(size, 'a');
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(42).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(Fault)

// Files the user cares about: a failed save says so and leaves the previous file as it was.
class TestFaultsFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void logSaveFailsAndKeepsTheOldFile_data() { faults(true); }
    void logSaveFailsAndKeepsTheOldFile();
    void windowWarnsWhenTheLogIsNotSaved_data() { faults(false); }
    void windowWarnsWhenTheLogIsNotSaved();
    void transmitListWriteFailsAndKeepsTheOldFile_data() { faults(true); }
    void transmitListWriteFailsAndKeepsTheOldFile();

    void hugeTransmitList();
    void garbageTransmitList_data();
    void garbageTransmitList();

private:
    // The file dialog opens a directory rather than return it, so the window never gets one.
    static void faults(bool withDirectoryTarget);
    // Prepares the target for `fault`: the old file, or a directory holding one.
    QString prepareTarget(Fault fault, const QString &name);
    // Checks that the target and its directory are exactly as prepareTarget left them.
    void expectUntouched(Fault fault, const QString &target);
    // Runs `save` with `fault` in force; QSKIP when the fault cannot be produced here.
    template<typename Save> void underFault(Fault fault, Save save);
    QString placePath() const { return tmp->filePath(QStringLiteral("place")); }

    std::unique_ptr<QTemporaryDir> tmp;
    WindowHarness ui;
};

void TestFaultsFiles::init()
{
    tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp->isValid());
    QVERIFY(QDir(tmp->path()).mkdir(QStringLiteral("place")));
}

void TestFaultsFiles::cleanup()
{
    ui.destroy();
    tmp.reset();
}

// Small content stays in the file's write buffer until the file is closed; large content is
// written at once. Both must fail alike.
void TestFaultsFiles::faults(bool withDirectoryTarget)
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("entries");
    QTest::newRow("read-only directory") << Fault::ReadOnlyDirectory << 3;
    QTest::newRow("full disk, small") << Fault::DiskFull << 3;
    QTest::newRow("full disk, large") << Fault::DiskFull << 2000;
    if (withDirectoryTarget)
        QTest::newRow("path is a directory") << Fault::PathIsDirectory << 3;
}

QString TestFaultsFiles::prepareTarget(Fault fault, const QString &name)
{
    const QString target = placePath() + QLatin1Char('/') + name;
    if (fault == Fault::PathIsDirectory) {
        QDir().mkdir(target);
        writeFile(target + QStringLiteral("/inside"), Old);
    } else {
        writeFile(target, Old);
    }
    return target;
}

void TestFaultsFiles::expectUntouched(Fault fault, const QString &target)
{
    if (fault == Fault::PathIsDirectory) {
        QVERIFY(QFileInfo(target).isDir());
        QCOMPARE(QDir(target).entryList(QDir::Files | QDir::Hidden), QStringList("inside"));
        QCOMPARE(readFile(target + QStringLiteral("/inside")), Old);
    } else {
        QCOMPARE(readFile(target), Old);
    }
    // No temporary file left beside the target either.
    QCOMPARE(QDir(placePath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList(QFileInfo(target).fileName()));
}

template<typename Save> void TestFaultsFiles::underFault(Fault fault, Save save)
{
    if (fault == Fault::ReadOnlyDirectory) {
        LockedDirectory locked(placePath());
        if (!locked.holds())
            QSKIP("neither the immutable attribute nor permission bits stop this user here");
        save();
    } else if (fault == Fault::DiskFull) {
        const FileSizeLimit limit(Old.size() + 1);
        save();
    } else {
        save();
    }
}

void TestFaultsFiles::logSaveFailsAndKeepsTheOldFile()
{
    QFETCH(Fault, fault);
    QFETCH(int, entries);
    const QString target = prepareTarget(fault, QStringLiteral("log.csv"));
    CanDataModel model;
    for (int id = 0; id < entries; ++id)
        model.addPacket(testFrame(uint32_t(id)));
    bool saved = true;
    underFault(fault, [&] { saved = model.saveCsv(target); });
    QVERIFY(!saved);
    expectUntouched(fault, target);
    QCOMPARE(model.rowCount(), entries);
}

void TestFaultsFiles::windowWarnsWhenTheLogIsNotSaved()
{
    QFETCH(Fault, fault);
    QFETCH(int, entries);
    const QString target = prepareTarget(fault, QStringLiteral("log.csv"));
    WindowHarness::writeSettings(tmp->filePath(QStringLiteral("no-port")), placePath());
    ui.create();
    auto *log = qobject_cast<CanDataModel *>(ui.log());
    QVERIFY(log);
    for (int id = 0; id < entries; ++id)
        log->addPacket(testFrame(uint32_t(id)));
    QString warning;
    whenModal<QFileDialog>([&](QFileDialog *dialog) {
        dialog->setOption(QFileDialog::DontConfirmOverwrite); // the old file is meant to go
        if (QWidget *focused = dialog->focusWidget())
            focused->clearFocus(); // a focused name field ignores selectFile()
        dialog->selectFile(target);
        whenModal<QMessageBox>([&](QMessageBox *box) {
            warning = box->text();
            box->accept();
        });
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    });
    // The save runs in the background: the fault has to last until it is over.
    underFault(fault, [&] {
        ui.child<QPushButton>("btSaveTable")->click();
        QTRY_VERIFY(!warning.isEmpty());
    });
    QVERIFY(!warning.isEmpty());
    QVERIFY2(warning.contains(target), qPrintable(warning));
    expectUntouched(fault, target);
    QTRY_COMPARE(ui.log()->rowCount(), entries);
}

void TestFaultsFiles::transmitListWriteFailsAndKeepsTheOldFile()
{
    QFETCH(Fault, fault);
    QFETCH(int, entries);
    const QString target = prepareTarget(fault, QStringLiteral("list.json"));
    const QString source = tmp->filePath(QStringLiteral("source.json"));
    QVERIFY(writeFile(source, listOf(entries)));
    SendDialog dialog;
    dialog.readPackets(source);
    QStringList statuses;
    connect(&dialog, &SendDialog::sendStatus, this, [&](QString text) { statuses << text; });
    underFault(fault, [&] { dialog.writePackets(target); });
    QCOMPARE(statuses, QStringList(QStringLiteral("Ошибка записи пакета отправки")));
    expectUntouched(fault, target);
}

void TestFaultsFiles::hugeTransmitList()
{
    const int count = 1000000;
    const QString path = tmp->filePath(QStringLiteral("huge.json"));
    QVERIFY(writeFile(path, listOf(count)));
    SendDialog dialog;
    QStringList statuses;
    connect(&dialog, &SendDialog::sendStatus, this, [&](QString text) { statuses << text; });
    dialog.readPackets(path);
    QCOMPARE(statuses, QStringList(QStringLiteral("Чтение пакетов, всего: %1").arg(count)));
    QCOMPARE(dialog.packetList().size(), count);
    for (int row : {0, 31}) {
        QVERIFY(rowOn(dialog, row));
        QCOMPARE(cell<QLabel>(dialog, row, 0)->text(),
                 QStringLiteral("%1").arg(row, 2, 10, QLatin1Char('0')));
        QCOMPARE(cell<QSpinBox>(dialog, row, 2)->value(), row + 1);
    }

    // The run sends what the rows hold, not the million entries behind them.
    QList<uint> sent;
    connect(&dialog, &SendDialog::sendPacket, this,
            [&](CanPacket packet) { sent << uint(packet.id); });
    dialog.findChild<QSpinBox *>(QStringLiteral("edRepeat"))->setValue(2);
    dialog.findChild<QPushButton *>(QStringLiteral("btSend"))->click();
    QCOMPARE(sent.size(), 64);
    for (int i = 0; i < 64; ++i)
        QCOMPARE(sent.at(i), uint(i % 32 + 1));
    QVERIFY(dialog.findChild<QPushButton *>(QStringLiteral("btSend"))->isEnabled());
}

void TestFaultsFiles::garbageTransmitList_data()
{
    QTest::addColumn<QString>("kind");
    for (const char *kind : {"random bytes", "deep nesting", "endless string"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

void TestFaultsFiles::garbageTransmitList()
{
    QFETCH(QString, kind);
    const QString path = tmp->filePath(QStringLiteral("garbage.json"));
    QVERIFY(writeFile(path, garbage(kind, 50 * 1024 * 1024)));
    SendDialog dialog;
    cell<QCheckBox>(dialog, 5, 1)->setChecked(true);
    QStringList statuses;
    connect(&dialog, &SendDialog::sendStatus, this, [&](QString status) { statuses << status; });
    dialog.readPackets(path);
    QCOMPARE(statuses, QStringList(QStringLiteral("Чтение пакетов, всего: 0")));
    QVERIFY(dialog.packetList().isEmpty());
    for (int row = 0; row < 32; ++row)
        QVERIFY(!rowOn(dialog, row));

    // Still usable: a row switched on is sent.
    QList<uint> sent;
    connect(&dialog, &SendDialog::sendPacket, this,
            [&](CanPacket packet) { sent << uint(packet.id); });
    cell<QCheckBox>(dialog, 3, 1)->setChecked(true);
    cell<QSpinBox>(dialog, 3, 2)->setValue(0x333);
    cell<QSpinBox>(dialog, 3, 14)->setValue(0);
    dialog.findChild<QPushButton *>(QStringLiteral("btSend"))->click();
    QCOMPARE(sent, QList<uint>({0x333}));
}

QUORVEX_WINDOW_TEST_MAIN(TestFaultsFiles)
#include "tst_faults_files.moc"

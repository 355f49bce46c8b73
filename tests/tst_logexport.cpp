// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/candatamodel.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

namespace {

const QByteArray Header =
    "[ID];[FF];[RTR];[LEN];[D0];[D1];[D2];[D3];[D4];[D5];[D6];[D7];[DIR];[TIME];\n";
const QByteArray Old = "old log\n";

QVariantMap rowMap(uint id, int frame, int rtl, const QString &direct, const QString &time,
                   const QList<int> &bytes)
{
    QVariantMap map{{"idrow", 1},       {"pid", id},           {"pframe", frame},
                    {"prtr", rtl >> 4}, {"plength", rtl & 15}, {"pdirect", direct},
                    {"pdelay", time}};
    for (int i = 0; i < 8; ++i)
        map.insert(QString("data%1").arg(i), bytes.value(i));
    return map;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

} // namespace

class TestLogExport : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> tmp; // fresh per test
    QString target() const { return tmp->filePath("log.csv"); }
    QStringList entries() const
    {
        return QDir(tmp->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    }

private slots:
    void init()
    {
        tmp = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp->isValid());
    }

    void contentInEveryDisplayForm_data()
    {
        QTest::addColumn<int>("format");
        for (int format = 0; format <= 3; ++format)
            QTest::addRow("format %d", format) << format;
    }

    void contentInEveryDisplayForm()
    {
        QFETCH(int, format);
        CanDataModel model;
        model.setFormat(format);
        QVERIFY(model.saveCsv(target()));
        QCOMPARE(contents(target()), Header);
        model.addRow(rowMap(0x7FF, 0, 8, "RX", "10:15:30:250",
                            {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}));
        model.setDeferredInsert(true); // staged rows are saved too
        model.addRow(rowMap(0x80000001, 1, 0x1F, "TX", "23:59:59:999", {0, 0xFF, 0x0A}));
        model.addRow(rowMap(0x12, 0x20, 0, "RX (CAN1->CAN0)", "00:00:00:001", {0x41}));
        writeFile(target(), QByteArray(100000, 'x')); // replaced entirely
        QVERIFY(model.saveCsv(target()));
        QCOMPARE(
            contents(target()),
            Header +
                "0x000007FF;SFF;0;8;0x11;0x22;0x33;0x44;0x55;0x66;0x77;0x88;RX;10:15:30:250;\n"
                "0x80000001;EFF;1;15;0x00;0xFF;0x0A;0x00;0x00;0x00;0x00;0x00;TX;23:59:59:999;\n"
                "0x00000012;SFF;0;0;0x41;0x00;0x00;0x00;0x00;0x00;0x00;0x00;"
                "RX (CAN1->CAN0);00:00:00:001;\n");
        QCOMPARE(model.pendingRows(), 2); // saving publishes nothing
        QCOMPARE(entries(), QStringList{"log.csv"});
    }

    void unwritablePathsFail()
    {
        CanDataModel model;
        QVERIFY(!model.saveCsv(tmp->filePath("absent/log.csv")));
        QVERIFY(QDir(tmp->path()).mkdir("sub"));
        QVERIFY(!model.saveCsv(tmp->filePath("sub")));
        QCOMPARE(entries(), QStringList{"sub"});
        QVERIFY(QFileInfo(tmp->filePath("sub")).isDir());
    }

    void readOnlyTargetKeepsOldFile_data()
    {
        QTest::addColumn<bool>("lockDirectory");
        QTest::newRow("read-only file") << false;
        QTest::newRow("read-only directory") << true;
    }

    void readOnlyTargetKeepsOldFile()
    {
        QFETCH(bool, lockDirectory);
        writeFile(target(), Old);
        const QString locked = lockDirectory ? tmp->path() : target();
        const auto original = QFile::permissions(locked);
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const auto restore = qScopeGuard([&] { QFile::setPermissions(locked, original); });
        const bool writable = lockDirectory
                                  ? QFile(tmp->filePath("probe")).open(QIODevice::WriteOnly)
                                  : QFile(target()).open(QIODevice::Append);
        if (writable)
            QSKIP("permission bits do not stop writes for this user (root)");
        CanDataModel model;
        model.addPacket(CanPacket());
        QVERIFY(!model.saveCsv(target()));
        QCOMPARE(contents(target()), Old);
    }

    void writeErrorKeepsOldFile()
    {
        writeFile(target(), Old);
        CanDataModel model;
        model.setDeferredInsert(true);
        for (int i = 0; i < 2000; ++i)
            model.addPacket(CanPacket());
        // A file size limit makes writes fail for every user, root included.
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 4096;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool savedOk = model.saveCsv(target());
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!savedOk);
        QCOMPARE(contents(target()), Old);
    }
};

QTEST_MAIN(TestLogExport)
#include "tst_logexport.moc"

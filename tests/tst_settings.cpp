// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/appsettings.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString variantText(const QVariant &value)
{
    const QString text =
        value.type() == QVariant::StringList ? value.toStringList().join('|') : value.toString();
    return QStringLiteral("%1(%2)").arg(text, value.typeName());
}

// Field by key, so a failing comparison names what differs.
QString fieldText(const AppSettings &config, const QString &key)
{
    const QMap<QString, QString> fields{{"WORKDIR", config.workDir},
                                        {"PORT", config.portName},
                                        {"BAUD", variantText(config.baudRate)},
                                        {"CANSPEED", variantText(config.canSpeed)},
                                        {"CANID", variantText(config.canId)},
                                        {"FILENAME", config.fileName},
                                        {"TX", config.showTx ? "on" : "off"}};
    return fields.value(key);
}

QString dump(const AppSettings &config)
{
    QStringList lines;
    for (const char *key : {"WORKDIR", "PORT", "BAUD", "CANSPEED", "CANID", "FILENAME", "TX"})
        lines << QString("%1=%2").arg(key, fieldText(config, key));
    return lines.join('\n');
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    int fileNumber = 0;

    // A new file for every row: QSettings caches files and may miss a rewrite within a second.
    QString iniPath() const { return dir.filePath(QString("store%1.ini").arg(fileNumber)); }

    AppSettings loadIni(const QByteArray &text) const
    {
        QFile file(iniPath());
        if (!file.open(QIODevice::WriteOnly) || file.write("[General]\n" + text) < 0)
            qFatal("cannot write %s", qPrintable(iniPath()));
        file.close();
        return loadSettings(QSettings(iniPath(), QSettings::IniFormat));
    }

private slots:
    void init() { ++fileNumber; }

    void firstStartGivesDefaults()
    {
        const AppSettings config = loadIni("");
        QCOMPARE(dump(config), QString("WORKDIR=%1\nPORT=COM1\nBAUD=115200(int)\nCANSPEED=4(int)\n"
                                       "CANID=0(int)\nFILENAME=write_packets.json\nTX=on")
                                   .arg(QCoreApplication::applicationDirPath()));
        QCOMPARE(dump(AppSettings::defaults()), dump(config));
    }

    // Installed read-only, recordings and saves go to the user's documents.
    void workDirBesideTheProgramOnlyWhenWritable()
    {
        QTemporaryDir dir;
        QCOMPARE(AppSettings::defaultWorkDir(dir.path()), dir.path());
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QCOMPARE(AppSettings::defaultWorkDir(dir.filePath("gone")), documents + "/Quorvex");
    }

    void roundTripKeepsEveryFieldAndCarriedTypes()
    {
        const AppSettings config{
            "/srv/captures",           "ttyUSB1",    57600, QStringList{"250", "kbit"},
            QByteArray("\x01\xFE", 2), "bench.json", false};
        {
            QSettings store(iniPath(), QSettings::IniFormat);
            saveSettings(store, config);
        }
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        for (const char *line : {"[General]\n", "PORT=ttyUSB1\n", "BAUD=57600\n", "TX=false\n",
                                 "WORKDIR=/srv/captures\n", "FILENAME=bench.json\n"})
            QVERIFY2(text.contains(line), line); // top-level keys that other runs read
        QCOMPARE(dump(loadSettings(QSettings(iniPath(), QSettings::IniFormat))), dump(config));
    }

    // The source a connection reads: kept as written, read back into the session's options; a
    // stored source that no longer reads as one, or a rate out of range, is the module's default.
    void sourceKeys()
    {
        AppSettings config = AppSettings::defaults();
        config.source = QStringLiteral("socketcand:[fe80::1]:29536:can1");
        config.bitrate = 500000;
        config.dataBitrate = 2000000;
        config.listenOnly = true;
        {
            QSettings store(iniPath(), QSettings::IniFormat);
            saveSettings(store, config);
        }
        const SessionOptions options =
            sessionOptions(loadSettings(QSettings(iniPath(), QSettings::IniFormat)));
        QCOMPARE(int(options.source.kind), int(SourceAddress::Kind::Socketcand));
        QCOMPARE(options.source.host, QStringLiteral("fe80::1"));
        QCOMPARE(options.source.interfaceName, QStringLiteral("can1"));
        QCOMPARE(options.source.text(), config.source);
        QVERIFY(options.source.listenOnly);
        {
            QSettings store(iniPath(), QSettings::IniFormat);
            store.setValue("SOURCE", "can0");
            store.setValue("BITRATE", "-5");
            store.setValue("LISTENONLY", "maybe");
        }
        const AppSettings damaged = loadSettings(QSettings(iniPath(), QSettings::IniFormat));
        QVERIFY(damaged.source.isEmpty());
        QCOMPARE(damaged.bitrate, 0);
        QVERIFY(!damaged.listenOnly);
        QVERIFY(sessionOptions(damaged).source.isModule());
    }

    void sourceTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind"); // -1: refused
        QTest::addColumn<QString>("interfaceName");
        QTest::newRow("socketcan")
            << "socketcan:can0" << int(SourceAddress::Kind::CanBus) << "can0";
        QTest::newRow("virtualcan url")
            << "virtualcan:tcp://127.0.0.1:35468/can1" << int(SourceAddress::Kind::CanBus)
            << "tcp://127.0.0.1:35468/can1";
        QTest::newRow("socketcand") << "socketcand:logger.local:29536:vcan0"
                                    << int(SourceAddress::Kind::Socketcand) << "vcan0";
        QTest::newRow("ipv6 bare")
            << "socketcand:::1:29536:can0" << int(SourceAddress::Kind::Socketcand) << "can0";
        QTest::newRow("no plugin") << "can0" << -1 << "";
        QTest::newRow("no interface") << "socketcan:" << -1 << "";
        QTest::newRow("no port") << "socketcand:host:can0" << -1 << "";
        QTest::newRow("port out of range") << "socketcand:host:70000:can0" << -1 << "";
        QTest::newRow("no host") << "socketcand::29536:can0" << -1 << "";
    }

    void sourceTexts()
    {
        QFETCH(QString, text);
        QFETCH(int, kind);
        QFETCH(QString, interfaceName);
        SourceAddress address;
        QString why;
        QCOMPARE(SourceAddress::parse(text, &address, &why), kind >= 0);
        if (kind < 0) {
            QVERIFY(!why.isEmpty());
            return;
        }
        QCOMPARE(int(address.kind), kind);
        QCOMPARE(address.interfaceName, interfaceName);
        SourceAddress again;
        QVERIFY(SourceAddress::parse(address.text(), &again, &why));
        QCOMPARE(again.text(), address.text());
    }

    // The recent files: the newest first, each once, ten at most, read back in order; the log's
    // time form by name, the time of day unless "start" is stored.
    void recentFilesAndLogTime()
    {
        QStringList recent;
        for (int i = 1; i <= 12; ++i)
            recent = AppSettings::withRecent(recent, QString("/c/%1.log").arg(i));
        recent = AppSettings::withRecent(recent, "/c/5.log");
        QCOMPARE(recent.size(), AppSettings::RecentFileCount);
        QCOMPARE(recent.first(), QString("/c/5.log"));
        QCOMPARE(recent.mid(1, 2), QStringList({"/c/12.log", "/c/11.log"}));
        QCOMPARE(recent.count("/c/5.log"), 1);
        QVERIFY(!recent.contains("/c/2.log"));
        AppSettings config = AppSettings::defaults();
        QVERIFY(!config.timeSinceFirst);
        config.recentFiles = recent;
        config.timeSinceFirst = true;
        {
            QSettings store(iniPath(), QSettings::IniFormat);
            saveSettings(store, config);
        }
        const AppSettings read = loadSettings(QSettings(iniPath(), QSettings::IniFormat));
        QCOMPARE(read.recentFiles, recent);
        QVERIFY(read.timeSinceFirst);
        ++fileNumber;
        QCOMPARE(loadIni("LOGTIME=day\nRECENT=/one.dbc\n").recentFiles, QStringList{"/one.dbc"});
        ++fileNumber;
        QVERIFY(!loadIni("LOGTIME=day\n").timeSinceFirst);
        ++fileNumber;
        QVERIFY(!loadIni("LOGTIME=42\n").timeSinceFirst);
    }

    // Hand-edited or damaged stores: each odd value falls back on its own.
    void damagedValuesFallBack_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("shown");
        const QString appDir = QCoreApplication::applicationDirPath();
        for (const char *baud :
             {"abc", "0", "-9600", "99999999999", "9600.5", "true", "@Rect(1 2 3 4)"})
            QTest::addRow("baud %s", baud) << QByteArray("BAUD=") + baud << "115200(int)";
        QTest::newRow("off table") << QByteArray("BAUD=921600") << "921600(int)";
        QTest::newRow("tx maybe") << QByteArray("TX=maybe") << "on";
        QTest::newRow("tx FALSE") << QByteArray("TX=FALSE") << "off";
        QTest::newRow("tx 0") << QByteArray("TX=0") << "off";
        QTest::newRow("empty port") << QByteArray("PORT=") << "COM1";
        QTest::newRow("blank port") << QByteArray("PORT=\"  \"") << "COM1";
        QTest::newRow("port list") << QByteArray("PORT=COM3, COM4") << "COM1";
        QTest::newRow("empty dir") << QByteArray("WORKDIR=") << appDir;
        QTest::newRow("missing dir") << QByteArray("WORKDIR=/nonexistent") << "/nonexistent";
        QTest::newRow("blank file") << QByteArray("FILENAME=\"\t\"") << "write_packets.json";
        // The transmit list stays in the application's directory: names that leave it are not
        // taken, plain names and subdirectories are.
        for (const char *name :
             {"../up.json", "../../x.json", "lists/../../x.json", "..", "/etc/x.json", "//x.json"})
            QTest::addRow("leaving: %s", name)
                << QByteArray("FILENAME=") + name << "write_packets.json";
        for (const char *name : {"lists/a.json", "a..b.json", "..a.json", "lists/../a.json"})
            QTest::addRow("staying: %s", name) << QByteArray("FILENAME=") + name << name;
        QTest::newRow("odd canid") << QByteArray("CANID=12.5") << "12.5(QString)";
    }
    void damagedValuesFallBack()
    {
        QFETCH(QByteArray, line);
        const QString key = QString::fromLatin1(line.left(line.indexOf('=')));
        QTEST(fieldText(loadIni(line + "\n"), key), "shown");
    }

    // The store the main window uses: native format, user scope, read back by the next run.
    void nativeStoreSurvivesRestart()
    {
        const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
        {
            QSettings store("Veltrica", "Quorvex");
            QVERIFY2(!configHome.isEmpty() && store.fileName().startsWith(configHome),
                     qPrintable(store.fileName())); // never the user's own settings
            AppSettings config = loadSettings(store);
            config.showTx = false;
            config.baudRate = 230400;
            saveSettings(store, config);
        }
        const AppSettings restored = loadSettings(QSettings("Veltrica", "Quorvex"));
        QCOMPARE(fieldText(restored, "TX"), QString("off"));
        QCOMPARE(fieldText(restored, "BAUD"), QString("230400(int)")); // not text, as stored
        QCOMPARE(restored.canSpeed.toInt(), 4);
    }
};

int main(int argc, char *argv[])
{
    QTemporaryDir configHome; // the native store must not land in the user's real settings
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    TestSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings.moc"

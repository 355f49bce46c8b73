// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/transmit/senddialog.h"
#include "support/fdpackets.h"
#include "support/testfiles.h"
#include "transmit/transmitlist.h"
#include "transmit/transmitlistlocation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

namespace {

template<typename T> T *cell(const SendDialog &dialog, int row, int column)
{
    auto *grid = dialog.findChild<QGridLayout *>(QStringLiteral("gridLayout"));
    return qobject_cast<T *>(grid->itemAtPosition(row + 1, column)->widget());
}

bool rowOn(const SendDialog &dialog, int row)
{
    return cell<QCheckBox>(dialog, row, 1)->isChecked();
}

// Every field in one comparable line.
QString fields(const CanPacket &packet)
{
    return frameText(packet) + QStringLiteral(" DELAY: %1").arg(packet.delay);
}

CanPacket packet(uint8_t frame, uint32_t id, uint8_t rtl = 0, uint32_t delay = 0, int data = 0)
{
    CanPacket made;
    made.frame = frame;
    made.id = id;
    made.rtl = rtl;
    made.delay = delay;
    for (int i = 0; i < 8; ++i)
        made.data[i] = uint8_t(data * (i + 1));
    return made;
}

// Permissions do not stop root.
bool permissionsBind(const QString &path)
{
    QFile probe(path);
    return !probe.open(QIODevice::ReadWrite | QIODevice::Append);
}

} // namespace

class TestTransmitList : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    SendDialog *dialog = nullptr;
    QStringList statuses;

    QString path(const QString &name) const { return dir.filePath(name); }

    // Fills the dialog through a file, as its caller does at opening.
    void load(const QByteArray &text)
    {
        QVERIFY(writeFile(path("load.json"), text));
        dialog->readPackets(path("load.json"));
    }
    void collect() { dialog->findChild<QPushButton *>("btOK")->click(); }
    QString entry(int index) const { return fields(dialog->packetList().value(index)); }

private slots:
    void init()
    {
        dialog = new SendDialog;
        connect(dialog, &SendDialog::sendStatus, this, [this](QString text) { statuses << text; });
        load(TransmitList::toJson({packet(0, 1)}));
        statuses.clear();
    }
    void cleanup() { delete dialog; }

    void rowsBecomeRecordsAndBack()
    {
        cell<QSpinBox>(*dialog, 0, 2)->setValue(0x1FFFFFFF);
        cell<QComboBox>(*dialog, 0, 3)->setCurrentText("EFF");
        cell<QCheckBox>(*dialog, 0, 4)->setChecked(true);
        cell<QComboBox>(*dialog, 0, 5)->setCurrentText("8");
        for (int byte = 0; byte < 8; ++byte)
            cell<QSpinBox>(*dialog, 0, 6 + byte)->setValue(0x11 * (byte + 1));
        cell<QSpinBox>(*dialog, 0, 14)->setValue(65535);
        cell<QCheckBox>(*dialog, 3, 1)->setChecked(true);
        cell<QSpinBox>(*dialog, 3, 2)->setValue(0x7FF);
        cell<QComboBox>(*dialog, 3, 5)->setCurrentText("3");
        collect();
        const CanPacket eff = packet(1, 0x1FFFFFFF, 0x18, 65535, 0x11);
        QCOMPARE(entry(0), fields(eff));
        QCOMPARE(entry(1), fields(packet(0, 0x7FF, 0x03)));

        // Route bits and a length above 8, as received frames carry them.
        load(TransmitList::toJson({packet(0x11, 0x123, 0x1F, 5, 1), eff}));
        QCOMPARE(cell<QComboBox>(*dialog, 0, 3)->currentText(), QStringLiteral("EFF"));
        QCOMPARE(cell<QComboBox>(*dialog, 0, 5)->currentText(), QStringLiteral("8"));
        QVERIFY(!rowOn(*dialog, 3));
        QCOMPARE(cell<QSpinBox>(*dialog, 3, 2)->value(), 0x7FF); // switched off, value kept
        collect();
        QCOMPARE(dialog->packetList().size(), 2);
        QCOMPARE(entry(0), fields(packet(1, 0x123, 0x18, 5, 1)));
        QCOMPARE(entry(1), fields(eff));
    }

    // "Сохранить и выйти" on a list with a length of 12: written with 8, nothing else lost.
    void lengthAboveEightIsSavedAsEight()
    {
        load(R"({"SendPackets": [{"pid": 291, "prtl": 12, "pdelay": 5, "data0": 1, "data7": 8}]})");
        QCOMPARE(cell<QComboBox>(*dialog, 0, 5)->currentText(), QStringLiteral("8"));
        collect();
        dialog->writePackets(path("saved.json"));
        CanPacket expected = packet(0, 291, 8, 5);
        expected.data[0] = 1;
        expected.data[7] = 8;
        const QList<CanPacket> saved = TransmitList::parse(readFile(path("saved.json")));
        QCOMPARE(saved.size(), 1);
        QCOMPARE(fields(saved[0]), fields(expected));
    }

    // FD entries keep their flags and length code and carry "data8" up to their last byte;
    // classic entries keep their twelve members. The rows show them and give them back.
    void fdEntriesRoundTrip()
    {
        CanPacket wide =
            countingFdFrame(0x18DAF100, 64, CanPacket::Extended | CanPacket::BitRateSwitch, 0x40);
        wide.delay = 7;
        CanPacket twelve = countingFdFrame(0x7E8, 12, 0, 0x10);
        for (int i = 12; i < 64; ++i)
            twelve.data[i] = 0; // past the length: not kept
        const CanPacket classic = packet(0, 0x123, 8, 5, 1);
        const QByteArray text = TransmitList::toJson({wide, twelve, classic});
        const QJsonArray entries = QJsonDocument::fromJson(text).object()["SendPackets"].toArray();
        QCOMPARE(entries[0].toObject().size(), 12 + 56);
        QCOMPARE(entries[0].toObject()["data63"].toInt(), 0x7F);
        QCOMPARE(entries[0].toObject()["pframe"].toInt(), 0x07);
        QCOMPARE(entries[0].toObject()["prtl"].toInt(), 15);
        QCOMPARE(entries[1].toObject().size(), 12 + 4);
        QCOMPARE(entries[2].toObject().size(), 12);
        const QList<CanPacket> back = TransmitList::parse(text);
        QCOMPARE(back.size(), 3);
        QCOMPARE(fields(back[0]), fields(wide));
        QCOMPARE(fields(back[1]), fields(twelve));
        QCOMPARE(fields(back[2]), fields(classic));
        // Bytes past an FD frame's length are not read: what is read is written back.
        const CanPacket past = TransmitList::packetFromMap(
            {{"pframe", 2}, {"prtl", 9}, {"data11", 7}, {"data12", 9}, {"data63", 1}});
        QCOMPARE(past.data[11], uint8_t(7));
        QCOMPARE(past.data[12] + past.data[63], 0);

        load(text);
        QVERIFY(cell<QCheckBox>(*dialog, 0, 15)->isChecked());
        QVERIFY(cell<QCheckBox>(*dialog, 0, 16)->isChecked());
        QVERIFY(!cell<QCheckBox>(*dialog, 1, 16)->isChecked());
        QVERIFY(!cell<QCheckBox>(*dialog, 2, 15)->isChecked());
        QCOMPARE(cell<QComboBox>(*dialog, 0, 5)->currentText(), QStringLiteral("64"));
        QCOMPARE(cell<QComboBox>(*dialog, 1, 5)->currentText(), QStringLiteral("12"));
        QCOMPARE(cell<QLineEdit>(*dialog, 1, 17)->text(), QStringLiteral("18 19 1A 1B"));
        collect();
        QCOMPARE(dialog->packetList().size(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(entry(i), fields(TransmitList::parse(text)[i]));
    }

    // Beside the program while the folder holding the list takes writes, else in the user's
    // data folder, made when missing.
    void listLocation()
    {
        QVERIFY(QDir(dir.path()).mkpath("app/lists"));
        const QString app = path("app");
        const QString data = path("data/quorvex");
        QCOMPARE(TransmitListLocation::path(app, "a.json", data), app + "/a.json");
        QCOMPARE(TransmitListLocation::path(app, "lists/a.json", data), app + "/lists/a.json");
        QVERIFY(!QFileInfo::exists(data));
        QCOMPARE(TransmitListLocation::path(path("gone"), "a.json", data), data + "/a.json");
        QCOMPARE(TransmitListLocation::path(app, "new/a.json", data), data + "/new/a.json");
        QVERIFY(QFileInfo(data + "/new").isDir());

        const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                            QFile::ExeGroup | QFile::ReadOther |
                                            QFile::ExeOther; // 0555
        QVERIFY(QFile::setPermissions(app, readOnly));
        const bool stillWritable = QFileInfo(app).isWritable(); // as root
        const QString where = TransmitListLocation::path(app, "a.json", data);
        QFile::setPermissions(app, readOnly | QFile::WriteOwner);
        if (stillWritable)
            QSKIP("folder permissions do not bind this user");
        QCOMPARE(where, data + "/a.json");
    }

    void roundTripAndTextForm()
    {
        const QList<CanPacket> entries = {packet(1, 0xFFFFFFFF, 0xFF, 0xFFFFFFFF, 0x80),
                                          packet(1, 291, 8, 100, 1)};
        load(TransmitList::toJson(entries));
        dialog->writePackets(path("again.json"));
        QCOMPARE(statuses.last(), QStringLiteral("Запись пакета отправки, ОК"));
        const QByteArray text = readFile(path("again.json"));
        const QList<CanPacket> back = TransmitList::parse(text);
        QCOMPARE(back.size(), 2);
        for (int i = 0; i < 2; ++i)
            QCOMPARE(fields(back[i]), fields(entries[i]));
        QVERIFY(text.contains("\"pdelay\": -1,") && text.contains("\"pid\": 4294967295,"));
        QByteArray expected = "        {\n";
        for (int i = 0; i < 8; ++i)
            expected += QStringLiteral("            \"data%1\": %2,\n").arg(i).arg(i + 1).toUtf8();
        expected += "            \"pdelay\": 100,\n            \"pframe\": 1,\n"
                    "            \"pid\": 291,\n            \"prtl\": 8\n        }\n    ]\n}\n";
        QVERIFY(text.startsWith("{\n    \"SendPackets\": [\n        {\n"));
        QVERIFY2(text.endsWith(expected), text.constData());
    }

    void oddEntries_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *json, const CanPacket &expected) {
            QTest::newRow(json) << QByteArray(json) << fields(expected);
        };
        row(R"({"pid": 256})", packet(0, 0x100)); // no "pdelay": 0, not 1
        row(R"({"pid": "31", "pdelay": "40"})", packet(0, 31, 0, 40));
        row(R"({"pid": 31.0})", packet(0, 31));
        row(R"({"pid": 30.6})", packet(0, 31));
        row(R"({"pid": "0x100"})", packet(0, 0));
        row(R"({"pframe": true, "prtl": true})", packet(1, 0, 1));
        row(R"({"pframe": 257, "prtl": 300})", packet(1, 0, 44));
        row(R"({"pid": null, "pframe": false, "prtl": [3], "pdelay": {"a": 1}})", packet(0, 0));
        row(R"({"pid": 5, "colour": 7})", packet(0, 5));
        row("7", packet(0, 0));
        CanPacket bytes = packet(0, 0);
        bytes.data[0] = 44;
        bytes.data[7] = 255;
        row(R"({"data0": 300, "data7": -1})", bytes);
    }

    void oddEntries()
    {
        QFETCH(QByteArray, json);
        load("{\"SendPackets\": [" + json + ", {}], \"other\": 1}");
        QCOMPARE(statuses, QStringList("Чтение пакетов, всего: 2"));
        QTEST(entry(0), "expected");
        QCOMPARE(dialog->packetList().value(0).direct, int(CanPacket::Received));
    }

    // Only 32 rows show; the rest stays in the list until the rows are collected again.
    void manyEntries_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("40") << 40;
        QTest::newRow("1000000") << 1000000;
    }

    void manyEntries()
    {
        QFETCH(int, count);
        QByteArray text = "{\"SendPackets\":[";
        for (int i = 0; i < count; ++i)
            text += "{\"pid\":" + QByteArray::number(i + 1) + "},";
        text.chop(1);
        load(text + "]}");
        QCOMPARE(statuses, QStringList(QStringLiteral("Чтение пакетов, всего: %1").arg(count)));
        QCOMPARE(dialog->packetList().last().id, uint(count));
        for (int row = 0; row < 32; ++row)
            QVERIFY(rowOn(*dialog, row) && cell<QSpinBox>(*dialog, row, 2)->value() == row + 1);
        collect();
        QCOMPARE(dialog->packetList().size(), 32);
    }

    void notAList_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("not JSON") << QByteArray("SendPackets: [1, 2]");
        QTest::newRow("top array") << QByteArray(R"([{"SendPackets": [{}]}])");
        QTest::newRow("no SendPackets") << QByteArray(R"({"sendpackets": [{}]})");
        QTest::newRow("not an array") << QByteArray(R"({"SendPackets": {"pid": 1}})");
    }

    void notAList()
    {
        QFETCH(QByteArray, text);
        load(text);
        QCOMPARE(statuses, QStringList("Чтение пакетов, всего: 0"));
        QVERIFY(dialog->packetList().isEmpty() && !rowOn(*dialog, 0));
    }

    void nothingRead()
    {
        dialog->readPackets(path("missing.json"));
        QCOMPARE(statuses, QStringList({"Ошибка чтения пакета отправки",
                                        "Чтение пакета отправки, нет данных"}));
        load({});
        QCOMPARE(statuses.mid(2), statuses.mid(1, 1)); // empty file: only "no data"
        QVERIFY(dialog->packetList().size() == 1 && rowOn(*dialog, 0));
        QVERIFY(writeFile(path("locked.json"), "{}"));
        QFile::setPermissions(path("locked.json"), {});
        if (!permissionsBind(path("locked.json")))
            QSKIP("file permissions do not bind this user");
        dialog->readPackets(path("locked.json"));
        QCOMPARE(statuses.mid(3), statuses.mid(0, 2));
        QVERIFY(dialog->packetList().size() == 1 && rowOn(*dialog, 0));
    }

    void failedWriteKeepsOldFile_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("directory") << "folder";
        QTest::newRow("missing directory") << "nowhere/list.json";
        QTest::newRow("read-only file") << "readonly.json";
    }

    void failedWriteKeepsOldFile()
    {
        QFETCH(QString, target);
        QVERIFY(QDir(dir.path()).mkpath("folder"));
        QFile::setPermissions(path("readonly.json"), QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(writeFile(path("readonly.json"), "old"));
        QFile::setPermissions(path("readonly.json"), QFile::ReadOwner);
        if (target == "readonly.json" && !permissionsBind(path(target)))
            QSKIP("file permissions do not bind this user");
        dialog->writePackets(path(target));
        QCOMPARE(statuses, QStringList("Ошибка записи пакета отправки"));
        QCOMPARE(readFile(path("readonly.json")), QByteArray("old"));
        QVERIFY(QFileInfo(path("folder")).isDir() && !QFileInfo::exists(path("nowhere")));
        for (const QString &name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
            QVERIFY2(name.endsWith(".json"), qPrintable(name)); // no temporary left behind
    }

    // Every row switched off: nothing is collected and the previous file stays.
    void emptyListWritesNothing()
    {
        QVERIFY(writeFile(path("kept.json"), "old"));
        cell<QCheckBox>(*dialog, 0, 1)->setChecked(false);
        collect();
        dialog->writePackets(path("kept.json"));
        QCOMPARE(statuses, QStringList("Запись пакета отправки, нет данных"));
        QCOMPARE(readFile(path("kept.json")), QByteArray("old"));
    }
};

QTEST_MAIN(TestTransmitList)
#include "tst_transmitlist.moc"

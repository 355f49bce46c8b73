// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/timedpacket.h"
#include "log/candatamodel.h"

#include <QAbstractItemModelTester>
#include <QFont>
#include <QSignalSpy>
#include <QtTest>

namespace {

CanPacket makePacket(uint32_t id, uint8_t frame = 0, uint8_t rtl = 8,
                     int32_t direct = CanPacket::Received)
{
    CanPacket packet;
    packet.id = id;
    packet.frame = frame;
    packet.rtl = rtl;
    packet.direct = direct;
    packet.data[7] = 0x41;
    return packet;
}

QStringList rowTexts(const CanDataModel &model, int row)
{
    QStringList texts;
    for (int column = 0; column < model.columnCount(); ++column)
        texts << model.index(row, column).data().toString();
    return texts;
}

} // namespace

class TestCanDataModel : public QObject
{
    Q_OBJECT

private:
    CanDataModel *model = nullptr;

private slots:
    void init()
    {
        model = new CanDataModel(this);
        new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::Fatal,
                                     model);
    }
    void cleanup() { delete model; }

    void headersAndRoles()
    {
        QStringList headers;
        for (int section = 0; section < 14; ++section)
            headers << model->headerData(section, Qt::Horizontal).toString();
        QCOMPARE(headers.join(' '), QString("ID FF RTR LEN D0 D1 D2 D3 D4 D5 D6 D7 DIR TIME"));
        const auto font = model->headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>();
        QCOMPARE(QString("%1 %2 %3").arg(font.family()).arg(font.pointSize()).arg(font.weight()),
                 QString("Arial 10 75"));
        QVERIFY(!font.italic() && !model->headerData(0, Qt::Vertical).isValid());
        model->addPacket(makePacket(1));
        for (int column = 0; column < 14; ++column) {
            QCOMPARE(model->index(0, column).data(Qt::TextAlignmentRole).toInt(), 132);
            QVERIFY(!model->index(0, column).data(Qt::ForegroundRole).isValid());
        }
    }

    void frameColumns_data()
    {
        QTest::addColumn<CanPacket>("packet");
        QTest::addColumn<QString>("expected"); // ID FF RTR LEN | DIR
        QTest::newRow("default") << CanPacket() << "0x00000000 SFF 0 0 | RX";
        QTest::newRow("bit 4 wins")
            << makePacket(0x123, 0x31) << "0x00000123 EFF 0 8 | RX (CAN0->CAN1)";
        QTest::newRow("can1 to can0")
            << makePacket(0x7FF, 0x20) << "0x000007FF SFF 0 8 | RX (CAN1->CAN0)";
        QTest::newRow("tx") << makePacket(5, 0x31, 0x18, 128) << "0x00000005 EFF 1 8 | TX";
        QTest::newRow("other direct") << makePacket(5, 0, 0x0F, 0) << "0x00000005 SFF 0 15 | TX";
        QTest::newRow("id bit 31") << makePacket(0x80000001, 1) << "0x80000001 EFF 0 8 | RX";
    }

    void frameColumns()
    {
        QFETCH(CanPacket, packet);
        model->addPacket(packet);
        const QStringList texts = rowTexts(*model, 0);
        QTEST(QStringList(texts.mid(0, 4) << "|" << texts[12]).join(' '), "expected");
    }

    void dataFormats_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("expected");
        const QStringList forms{"0x41", "65", "A", "0b01000001", ""};
        for (int format = 0; format < forms.size(); ++format)
            QTest::addRow("format %d", format) << format << forms[format];
    }

    void dataFormats()
    {
        QFETCH(int, format);
        model->addPacket(makePacket(0x123));
        QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
        model->setFormat(format);
        QCOMPARE(changed.count(), format == 0 ? 0 : 1); // views repaint the new form at once
        QTEST(model->index(0, 11).data().toString(), "expected");
        QCOMPARE(model->index(0, 0).data().toString(), QString("0x00000123"));
    }

    // Bytes past the length, and every byte of a remote frame, are blank, not 0x00.
    void bytesNotCarriedAreBlank()
    {
        CanPacket one = makePacket(0x10, 0, 1);
        one.data[0] = 0x00;
        model->addPacket(one);
        model->addPacket(makePacket(0x11, 0, 0x12)); // remote, length 2
        model->addPacket(makePacket(0x12, 0, 0x0F)); // length code 15: eight bytes
        const QStringList first = rowTexts(*model, 0);
        QCOMPARE(first.mid(CanDataModel::FirstDataColumn, 8),
                 QStringList({"0x00", "", "", "", "", "", "", ""}));
        QCOMPARE(rowTexts(*model, 1).mid(CanDataModel::FirstDataColumn, 8),
                 QStringList({"", "", "", "", "", "", "", ""}));
        QCOMPARE(rowTexts(*model, 2).at(CanDataModel::LastDataColumn), QStringLiteral("0x41"));
        model->setFormat(CanDataModel::Dec);
        QCOMPARE(rowTexts(*model, 0).mid(CanDataModel::FirstDataColumn, 2), QStringList({"0", ""}));
    }

    // Seconds since the first row with a time, or the time of day; the header says which.
    void timeSinceTheFirstRow()
    {
        QSignalSpy header(model, &QAbstractItemModel::headerDataChanged);
        const qint64 t0 = 1700000000LL * 1000000 + 250000;
        model->addFrame({TimedPacket::NoTime, makePacket(1)});
        model->addFrame({t0, makePacket(2)});
        model->addFrame({t0 + 1500001, makePacket(3)});
        model->addFrame({t0 + 3600000000LL, makePacket(4)});
        const auto times = [this] {
            QStringList texts;
            for (int row = 0; row < model->rowCount(); ++row)
                texts << model->index(row, CanDataModel::TimeColumn).data().toString();
            return texts;
        };
        QCOMPARE(times().at(1), TimeOfDay::text(TimeOfDay().msOfDay(t0)));
        model->setTimeForm(CanDataModel::TimeForm::SinceFirst);
        QCOMPARE(header.size(), 1);
        QCOMPARE(model->headerData(CanDataModel::TimeColumn, Qt::Horizontal).toString(),
                 QStringLiteral("TIME, s"));
        QCOMPARE(times(), QStringList({"", "0.000000", "1.500001", "3600.000000"}));
        model->clear(); // a new log counts from its own first row
        model->addFrame({t0 + 10000000, makePacket(5)});
        model->addFrame({t0 + 10000100, makePacket(6)});
        QCOMPARE(times(), QStringList({"0.000000", "0.000100"}));
        model->setTimeForm(CanDataModel::TimeForm::OfDay);
        QCOMPARE(model->headerData(CanDataModel::TimeColumn, Qt::Horizontal).toString(),
                 QStringLiteral("TIME"));
        QCOMPARE(times().at(0), TimeOfDay::text(TimeOfDay().msOfDay(t0 + 10000000)));
    }

    void rowTimeIsTimeOfDay()
    {
        const QTime before = QTime::currentTime();
        model->addPacket(CanPacket());
        const QTime after = QTime::currentTime();
        const QString text = model->index(0, 13).data().toString();
        const QTime logged = QTime::fromString(text, "hh:mm:ss:zzz");
        if (after < before)
            QSKIP("clock passed midnight");
        QVERIFY2(logged.isValid() && before <= logged && logged <= after, qPrintable(text));
    }

    void numberingAndGrowth()
    {
        model->setDeferredInsert(true);
        const int count = 2 * 8192 + 3; // crosses storage block boundaries
        for (int i = 0; i < count; ++i)
            model->addPacket(makePacket(uint32_t(i)));
        model->flushRows();
        for (int row : {0, 8191, 8192, 16384, count - 1}) {
            QCOMPARE(model->index(row, 0).data().toString(), hexText(uint(row), 8));
            QCOMPARE(model->rowNumber(row), row + 1);
        }
        model->setFormat(CanDataModel::Bin);
        model->setDeferredInsert(false);
        model->clear();
        model->addPacket(CanPacket());
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->rowNumber(0), count + 1); // numbers stay unique across clear()
        QCOMPARE(model->currentFormat(), int(CanDataModel::Bin));
    }

    void insertionNotifications()
    {
        QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(model, &QAbstractItemModel::modelReset);
        model->addRow({{"pid", 1u}, {"pfff", "EFF"}}); // no "idrow": ignored
        model->addRow({{"idrow", QVariant()}});
        QCOMPARE(model->rowCount() + inserted.count(), 0);
        model->addPacket(CanPacket());
        model->addPacket(CanPacket());
        QCOMPARE(inserted.count(), 2); // one per row when immediate
        QCOMPARE(inserted[1].mid(1), (QVariantList{1, 1}));
        model->setDeferredInsert(true);
        model->addPacket(CanPacket());
        model->addRow({{"idrow", 77}});
        model->addPacket(CanPacket());
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->pendingRows(), 3);
        QCOMPARE(model->flushRows(), 3);
        QCOMPARE(model->flushRows(), 0);
        QCOMPARE(inserted.count(), 3);
        QCOMPARE(inserted[2].mid(1), (QVariantList{2, 4}));
        QCOMPARE(model->rowNumber(3), 77);
        QCOMPARE(model->rowNumber(4), 4); // numbered when staged
        model->addPacket(CanPacket());
        model->setDeferredInsert(false); // publishes what is staged
        model->setDeferredInsert(true);
        model->addPacket(CanPacket());
        model->clear(); // drops staged rows
        QCOMPARE(inserted.count(), 4);
        QCOMPARE(reset.count(), 1);
        QCOMPARE(model->pendingRows(), 0);
    }

    void addRowRoundTripsPacketMap()
    {
        for (const CanPacket &packet : {makePacket(0x80000001, 0x31, 0x1F), makePacket(7, 0x20),
                                        makePacket(0x1ABC, 0x01, 0x10, 128)}) {
            for (bool withFrame : {true, false}) {
                model->clear();
                model->addPacket(packet);
                QStringList shown = rowTexts(*model, 0);
                QVariantMap map{{"idrow", 42},
                                {"pid", uint32_t(packet.id)},
                                {"pfff", shown[1]},
                                {"prtr", packet.isRemote() ? 1 : 0},
                                {"plength", packet.length()},
                                {"pdirect", shown[12]},
                                {"pdelay", "09:05:07:042"}};
                if (withFrame)
                    map.insert("pframe", packet.frame);
                for (int i = 0; i < 8; ++i)
                    map.insert(QString("data%1").arg(i), packet.data[i]);
                model->addRow(map);
                shown[13] = "09:05:07:042";
                QCOMPARE(rowTexts(*model, 1), shown);
                QCOMPARE(model->rowNumber(1), 42);
            }
        }
    }
};

QTEST_MAIN(TestCanDataModel)
#include "tst_candatamodel.moc"

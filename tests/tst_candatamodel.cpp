// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/logcolumns.h"
#include "link/timedpacket.h"
#include "log/candatamodel.h"
#include "log/logpagemodel.h"
#include "support/fdpackets.h"

#include <QAbstractItemModelTester>
#include <QFont>
#include <QSignalSpy>
#include <QTableView>
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

QString tipOf(const CanDataModel &model, int row, int column = CanDataModel::IdColumn)
{
    return model.index(row, column).data(Qt::ToolTipRole).toString();
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

    // An FD row: "FD" beside the format, its byte count as the length, its bytes past the
    // seventh in the last data column (for the view to elide), all of them and the flags in the
    // tool tip. Bytes past the length stay blank and out of the texts; classic rows keep their
    // texts and have no tip.
    void fdRows()
    {
        QSignalSpy fdAdded(model, &CanDataModel::fdRowsAdded);
        model->addPacket(makePacket(0x123));
        QVERIFY(!model->hasFdRows() && fdAdded.isEmpty());
        model->addPacket(
            countingFdFrame(0x18DAF100, 64, CanPacket::Extended | CanPacket::BitRateSwitch));
        model->addPacket(countingFdFrame(0x7E8, 12, CanPacket::ErrorState, 0xF0));
        model->addPacket(countingFdFrame(0x7E9, 5, 0, 0x10));
        QCOMPARE(fdAdded.count(), 1);
        model->addPacket(countingFdFrame(0x7EA, 20));
        QCOMPARE(fdAdded.count(), 1); // once only
        QVERIFY(model->hasFdRows());
        const auto head = [this](int row) { return rowTexts(*model, row).mid(0, 4).join(' '); };
        QCOMPARE(head(0), QStringLiteral("0x00000123 SFF 0 8"));
        QCOMPARE(head(1), QStringLiteral("0x18DAF100 EFF FD 0 64"));
        QCOMPARE(head(2), QStringLiteral("0x000007E8 SFF FD 0 12"));
        QCOMPARE(head(3), QStringLiteral("0x000007E9 SFF FD 0 5"));
        const auto data = [this](int row) {
            return rowTexts(*model, row).mid(CanDataModel::FirstDataColumn, 8);
        };
        QCOMPARE(data(0).last(), QStringLiteral("0x41"));
        QCOMPARE(data(1).first(), QStringLiteral("0x00"));
        QStringList rest;
        for (int byte = 7; byte < 64; ++byte)
            rest << hexByteText(uint(byte));
        QCOMPARE(data(1).last(), rest.join(' '));
        QCOMPARE(data(2).last(), QStringLiteral("0xF7 0xF8 0xF9 0xFA 0xFB"));
        QCOMPARE(data(3), QStringList({"0x10", "0x11", "0x12", "0x13", "0x14", "", "", ""}));
        model->setFormat(CanDataModel::Dec);
        QCOMPARE(data(2).last(), QStringLiteral("247 248 249 250 251"));

        QVERIFY(tipOf(*model, 0).isEmpty());
        QCOMPARE(tipOf(*model, 2, CanDataModel::TimeColumn),
                 QStringLiteral("CAN FD, ESI, длина 12\nD0: 240 241 242 243 244 245 246 247 248 "
                                "249 250 251"));
        QCOMPARE(tipOf(*model, 3), QStringLiteral("CAN FD, длина 5\nD0: 16 17 18 19 20"));
        model->setFormat(CanDataModel::Hex);
        const QStringList lines = tipOf(*model, 1).split('\n');
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], QStringLiteral("CAN FD, BRS, длина 64"));
        QCOMPARE(lines[3].left(10), QStringLiteral("D32: 0x20 "));
        QVERIFY(lines[4].endsWith(QStringLiteral(" 0x3E 0x3F")));
        model->setFormat(4); // no byte form: the tip still gives the bytes
        QCOMPARE(data(1).last(), QString());
        QVERIFY(tipOf(*model, 1).contains(QStringLiteral("D48: 0x30 ")));

        model->clear();
        QVERIFY(!model->hasFdRows());
        model->addPacket(countingFdFrame(1, 8));
        QCOMPARE(fdAdded.count(), 2); // a cleared log announces its FD rows again
    }

    // Rows published together announce FD once they are published, long rows read back
    // from the row store's tail whatever block they sit in.
    void fdRowsDeferred()
    {
        QSignalSpy fdAdded(model, &CanDataModel::fdRowsAdded);
        model->setDeferredInsert(true);
        const int count = 8192 + 5;
        for (int i = 0; i < count; ++i)
            model->addPacket(i % 3 ? makePacket(uint32_t(i))
                                   : countingFdFrame(uint32_t(i), 48, 0, uint8_t(i)));
        QVERIFY(fdAdded.isEmpty());
        model->flushRows();
        QCOMPARE(fdAdded.count(), 1);
        for (int row : {0, 3, 8190, 8193}) {
            QCOMPARE(model->index(row, CanDataModel::LengthColumn).data().toInt(), 48);
            const QString last = model->index(row, CanDataModel::LastDataColumn).data().toString();
            QCOMPARE(last.split(' ').size(), 41);
            QCOMPARE(last.split(' ').last(), hexByteText(uint8_t(row + 47)));
        }
    }

    // A log with FD rows gets room for "EFF FD" and a few bytes in the last data column; a
    // cleared one goes back to the usual widths.
    void fdRowsWidenTheirColumns()
    {
        LogPageModel page(model);
        page.setPage(0, 50);
        QTableView view;
        view.setModel(&page);
        LogColumns::fit(&view, CanDataModel::Hex);
        LogColumns::follow(&view, model);
        const auto width = [&](int column) { return view.columnWidth(column); };
        const int format = width(CanDataModel::FormatColumn);
        const int last = width(CanDataModel::LastDataColumn);
        QCOMPARE(last, width(CanDataModel::FirstDataColumn));
        model->addPacket(makePacket(1));
        QCOMPARE(width(CanDataModel::LastDataColumn), last);
        model->addPacket(countingFdFrame(2, 64, CanPacket::Extended));
        const QFontMetrics metrics = view.fontMetrics();
        QVERIFY(width(CanDataModel::FormatColumn) > metrics.horizontalAdvance("EFF FD"));
        QVERIFY(width(CanDataModel::LastDataColumn) >
                metrics.horizontalAdvance("0x07 0x08 0x09 0x0A …"));
        QCOMPARE(width(CanDataModel::FirstDataColumn), last);
        model->clear();
        QCOMPARE(width(CanDataModel::FormatColumn), format);
        QCOMPARE(width(CanDataModel::LastDataColumn), last);
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
        for (const CanPacket &packet :
             {makePacket(0x80000001, 0x31, 0x1F), makePacket(7, 0x20),
              makePacket(0x1ABC, 0x01, 0x10, 128),
              countingFdFrame(0x1ABC, 64, CanPacket::Extended | CanPacket::BitRateSwitch)}) {
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
                for (int i = 0; i < qMax(8, packet.dataLength()); ++i)
                    map.insert(QString("data%1").arg(i), packet.data[i]);
                model->addRow(map);
                shown[13] = "09:05:07:042";
                QCOMPARE(rowTexts(*model, 1), shown);
                QCOMPARE(model->rowNumber(1), 42);
                QCOMPARE(tipOf(*model, 1).section('\n', 1), tipOf(*model, 0).section('\n', 1));
            }
        }
    }
};

QTEST_MAIN(TestCanDataModel)
#include "tst_candatamodel.moc"

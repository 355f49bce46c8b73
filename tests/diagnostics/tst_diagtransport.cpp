// SPDX-License-Identifier: GPL-3.0-or-later
// ISO-TP and J1939 transport: messages joined in every addressing and length form, and every
// fault reported with the bytes received so far.
#include "diagnostics/diagcsv.h"
#include "diagnostics/diagdecoder.h"
#include "diagnostics/diagpairtext.h"
#include "diagnostics/j1939id.h"
#include "diagtraffic.h"

#include <QtTest>

using namespace DiagTraffic;
using Status = DiagMessage::Status;

namespace {

std::vector<DiagMessage> decode(const Stream &s, bool finish = true,
                                const QVector<DiagPair> &pairs = {})
{
    DiagDecoder decoder;
    decoder.setPairs(pairs);
    std::vector<DiagMessage> out;
    for (const TimedPacket &f : s.frames)
        decoder.feed(f, out);
    if (finish)
        decoder.finish(out);
    return out;
}

QString summary(const DiagMessage &m)
{
    return QStringLiteral("%1 %2 %3")
        .arg(QString::number(m.id, 16), DiagWords::status(m.status),
             QString::fromLatin1(m.payload.toHex()));
}

QStringList summaries(const std::vector<DiagMessage> &messages)
{
    QStringList out;
    for (const DiagMessage &m : messages)
        out.append(summary(m));
    return out;
}

QString expect(uint32_t id, const char *status, const QByteArray &payload)
{
    return QStringLiteral("%1 %2 %3")
        .arg(QString::number(id, 16), status, QString::fromLatin1(payload.toHex()));
}

} // namespace

class TestDiagTransport : public QObject
{
    Q_OBJECT

private slots:
    void lengthsAndForms_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("padded");
        QTest::addColumn<bool>("escape");
        QTest::newRow("single, padded") << 5 << true << false;
        QTest::newRow("single, unpadded") << 7 << false << false;
        QTest::newRow("one byte") << 1 << false << false;
        QTest::newRow("first frame, 8 bytes") << 8 << true << false;
        QTest::newRow("sequence wraps 15 -> 0") << 300 << true << false;
        QTest::newRow("unpadded last frame") << 20 << false << false;
        QTest::newRow("12-bit maximum") << 4095 << true << false;
        QTest::newRow("escape length") << 5000 << true << true;
    }
    void lengthsAndForms()
    {
        QFETCH(int, size);
        QFETCH(bool, padded);
        QFETCH(bool, escape);
        Options o;
        o.padded = padded;
        o.escape = escape;
        const QByteArray payload = pattern(size);
        Stream s;
        s.addAll(0x7E8, false, isoTpFrames(payload, o));
        const auto out = decode(s);
        QCOMPARE(summaries(out), QStringList{expect(0x7E8, "ok", payload)});
        QCOMPARE(out[0].time, s.frames.last().time);
        QCOMPARE(out[0].firstFrame, quint64(0));
        QCOMPARE(out[0].lastFrame, quint64(s.frames.size() - 1));
        QCOMPARE(out[0].source, -1);
    }

    // ISO-TP over CAN FD: a single frame in its classic form within an FD frame and in the escape
    // form up to 62 bytes, first frames of every TX_DL with both length forms, consecutive frames
    // carrying up to 63 bytes, the last one padded to an FD length; and with an address byte.
    void fdLengthsAndForms_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("frameBytes");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("frames");
        QTest::newRow("single, classic form") << 5 << 64 << -1 << 1;
        QTest::newRow("single, escape, 8 bytes") << 8 << 64 << -1 << 1;
        QTest::newRow("single, escape, 62 bytes") << 62 << 64 << -1 << 1;
        QTest::newRow("first frame, 63 bytes") << 63 << 64 << -1 << 2;
        QTest::newRow("TX_DL 64, 200 bytes") << 200 << 64 << -1 << 4;
        QTest::newRow("TX_DL 12, 100 bytes") << 100 << 12 << -1 << 10;
        QTest::newRow("TX_DL 64, 12-bit maximum") << 4095 << 64 << -1 << 66;
        QTest::newRow("TX_DL 64, 32-bit length") << 5000 << 64 << -1 << 80;
        QTest::newRow("extended addressing, single") << 61 << 64 << 0xF1 << 1;
        QTest::newRow("extended addressing, first") << 62 << 64 << 0xF1 << 2;
    }
    void fdLengthsAndForms()
    {
        QFETCH(int, size);
        QFETCH(int, frameBytes);
        QFETCH(int, address);
        QFETCH(int, frames);
        Options o;
        o.frameBytes = frameBytes;
        o.address = address;
        const QByteArray payload = pattern(size);
        const uint32_t id = address < 0 ? 0x7E8 : 0x6F1;
        Stream s;
        s.addAll(id, false, isoTpFrames(payload, o), 1000, true);
        QCOMPARE(s.frames.size(), frames);
        const auto out = decode(s, true, {{0x6F1, 0x642, false, IsoTpAddressing::Extended}});
        QCOMPARE(summaries(out), QStringList{expect(id, "ok", payload)});
        QCOMPARE(out[0].lastFrame, quint64(frames - 1));
        if (address >= 0)
            QCOMPARE(out[0].target, address);
        // Sent again with one consecutive frame lost, the message is said broken there.
        if (frames > 2) {
            s.frames.remove(2);
            const auto broken = decode(s, true, {{0x6F1, 0x642, false, IsoTpAddressing::Extended}});
            QVERIFY(!broken.empty());
            QCOMPARE(DiagWords::status(broken[0].status), "sequence");
        }
    }

    // Frames no sender makes: the escape single frame in a frame of eight bytes or less (classic
    // or FD), an escape length past the frame, a first frame an FD single frame could have
    // carried, an FD first frame shorter than eight bytes.
    void fdMalformedFramesMakeNoMessage()
    {
        Stream s;
        s.add(0x7E8, false, QByteArray::fromHex("0005010203040506"));
        s.addFd(0x7E8, false, QByteArray::fromHex("0005010203040506"));
        s.addFd(0x7E8, false, QByteArray::fromHex("000B0102030405060708090A"));
        s.addFd(0x7E8, false, QByteArray::fromHex("0000") + pattern(62));
        s.addFd(0x7E8, false, QByteArray::fromHex("103E") + pattern(62)); // 62 fits a single frame
        s.addFd(0x7E8, false, QByteArray::fromHex("1040010203"));
        QCOMPARE(summaries(decode(s)), QStringList());
        // The shortest first frame of each TX_DL is a message.
        Stream least;
        least.addAll(0x7E8, false,
                     {QByteArray::fromHex("103F") + pattern(62), QByteArray::fromHex("2101")}, 1000,
                     true);
        least.addAll(0x7E9, false,
                     {QByteArray::fromHex("100B") + pattern(10), QByteArray::fromHex("2101")}, 1000,
                     true);
        QCOMPARE(decode(least).size(), size_t(2));
    }

    void addressingForms()
    {
        Stream s;
        const QByteArray a = pattern(30, 1), b = pattern(4, 2), c = pattern(12, 3);
        s.addAll(0x18DAF110, true, isoTpFrames(a)); // normal fixed: target F1, source 10
        s.addAll(0x18DB33F1, true, isoTpFrames(b)); // functional
        Options extended;
        extended.address = 0x42;
        s.addAll(0x6F1, false, isoTpFrames(c, extended));
        s.addAll(0x18CE2211, true, isoTpFrames(b, extended));
        const QVector<DiagPair> pairs = {{0x6F1, 0x642, false, IsoTpAddressing::Extended},
                                         {0x18CE2211, 0x18CE1122, true, IsoTpAddressing::Mixed}};
        const auto out = decode(s, true, pairs);
        QCOMPARE(summaries(out),
                 QStringList({expect(0x18DAF110, "ok", a), expect(0x18DB33F1, "ok", b),
                              expect(0x6F1, "ok", c), expect(0x18CE2211, "ok", b)}));
        QCOMPARE(out[0].target, 0xF1);
        QCOMPARE(out[0].source, 0x10);
        QVERIFY(!out[0].functional && out[1].functional);
        QCOMPARE(out[2].target, 0x42);
        QCOMPARE(out[2].source, -1);
        // Without the pair the identifiers are nobody's diagnostics.
        QCOMPARE(decode(s).size(), size_t(2));
    }

    void interleavedAnswers()
    {
        // Two ECUs answer one functional request at once, frame by frame.
        const QByteArray a = pattern(40, 5), b = pattern(25, 9);
        const auto fa = isoTpFrames(a), fb = isoTpFrames(b);
        Stream s;
        s.add(0x7DF, false, QByteArray::fromHex("0209020000000000"));
        for (int i = 0; i < qMax(fa.size(), fb.size()); ++i) {
            if (i < fa.size())
                s.add(0x7E8, false, fa[i]);
            if (i < fb.size())
                s.add(0x7E9, false, fb[i], 0, 1);
            if (i == 0) {
                s.flowControl(0x7E0, false);
                s.flowControl(0x7E1, false);
            }
        }
        const auto out = decode(s);
        QCOMPARE(summaries(out), QStringList({expect(0x7DF, "ok", QByteArray::fromHex("0902")),
                                              expect(0x7E9, "ok", b), expect(0x7E8, "ok", a)}));
    }

    void faults()
    {
        const QByteArray a = pattern(30, 1);
        auto frames = isoTpFrames(a);
        Stream s;
        // A lost consecutive frame: "sequence" with what came before, the rest swallowed.
        s.addAll(0x7E8, false, {frames[0], frames[1], frames[3], frames[4]});
        // A consecutive frame alone.
        s.add(0x7ED, false, frames[2]);
        // A single frame while a message was open.
        s.addAll(0x7E9, false, {frames[0], frames[1]});
        s.add(0x7E9, false, QByteArray::fromHex("023E00"));
        // A first frame while a message was open.
        s.addAll(0x7EA, false, {frames[0]});
        s.addAll(0x7EA, false, frames);
        // A pause longer than N_Cr, then the rest comes too late.
        s.addAll(0x7EB, false, {frames[0], frames[1]});
        s.add(0x7EB, false, frames[2], 1000001);
        // Open at the end of the capture.
        s.add(0x7EC, false, frames[0]);
        const auto out = decode(s);
        const QStringList expected = {
            expect(0x7E8, "sequence", a.left(13)),
            expect(0x7ED, "unexpected", a.mid(13, 7)),
            expect(0x7E9, "interrupted", a.left(13)),
            expect(0x7E9, "ok", QByteArray::fromHex("3E00")),
            expect(0x7EA, "interrupted", a.left(6)),
            expect(0x7EA, "ok", a),
            expect(0x7EB, "timeout", a.left(13)),
            expect(0x7EB, "unexpected", a.mid(13, 7)),
            expect(0x7EC, "timeout", a.left(6)),
        };
        QCOMPARE(summaries(out).join(" | "), expected.join(" | "));
        QCOMPARE(out[6].time, s.frames[s.frames.size() - 3].time + 1000000);
    }

    void malformedFramesMakeNoMessage()
    {
        Stream s;
        s.add(0x7E8, false, QByteArray::fromHex("0001020304050607")); // length 0
        s.add(0x7E8, false, QByteArray::fromHex("0701020304"));       // longer than the frame
        s.add(0x7E8, false, QByteArray::fromHex("1005010203040506")); // fits a single frame
        s.add(0x7E8, false, QByteArray::fromHex("10000000000A0102")); // escape below 4096
        s.add(0x7E8, false, QByteArray::fromHex("1014010203"));       // short first frame
        s.add(0x7E8, false, QByteArray::fromHex("3000000000000000")); // flow control
        s.add(0x7E8, false, QByteArray());
        QCOMPARE(decode(s).size(), size_t(0));
    }

    void boundedInProgressOldestFirst()
    {
        DiagDecoder decoder;
        QVector<DiagPair> pairs;
        for (uint32_t i = 0; i < 300; ++i)
            pairs.append({0x100 + i, 0x500 + i, false, IsoTpAddressing::Normal});
        decoder.setPairs(pairs);
        std::vector<DiagMessage> out;
        Stream s;
        for (uint32_t i = 0; i < 300; ++i)
            s.add(0x100 + i, false, QByteArray::fromHex("1010000102030405"), 10);
        for (const TimedPacket &f : s.frames)
            decoder.feed(f, out);
        QCOMPARE(decoder.inProgress(), IsoTpReassembler::MaxInProgress);
        QCOMPARE(out.size(), size_t(300 - 256));
        for (size_t i = 0; i < out.size(); ++i) {
            QCOMPARE(out[i].status, Status::Timeout);
            QCOMPARE(out[i].id, uint32_t(0x100 + i));
        }
    }

    void pairsAsText()
    {
        const QList<DiagPair> pairs = {{0x7E0, 0x7E8, false, IsoTpAddressing::Normal},
                                       {0x18DA10F1, 0x18DAF110, true, IsoTpAddressing::Normal},
                                       {0x6F1, 0x642, false, IsoTpAddressing::Extended},
                                       {0x100, 0x200, true, IsoTpAddressing::Mixed}};
        for (const DiagPair &pair : pairs)
            QCOMPARE(DiagPairText::fromText(DiagPairText::toText(pair)),
                     std::optional<DiagPair>(pair));
        QCOMPARE(DiagPairText::toText(pairs[2]), QStringLiteral("6F1/642/extended"));
        QCOMPARE(DiagPairText::toText(pairs[3]), QStringLiteral("00000100/00000200/mixed"));
        QVERIFY(DiagPairText::fromText("7e0/7e8")->addressing == IsoTpAddressing::Normal);
        QVERIFY(DiagPairText::fromText("18DA10F1/7E8")->extended); // one 29-bit makes both
        for (const char *bad :
             {"", "7E0", "7E0/", "x/7E8", "7E0/7E8/odd", "20000000/7E8", "1/2/3/4"})
            QVERIFY2(!DiagPairText::fromText(bad), bad);
    }

    void j1939Ids()
    {
        const J1939Id a = J1939Id::of(0x0CF00400); // EEC1 from 00
        QCOMPARE(a.priority, uint8_t(3));
        QCOMPARE(a.pgn, 61444u);
        QCOMPARE(a.source, uint8_t(0));
        QCOMPARE(a.destination, uint8_t(0xFF));
        const J1939Id b = J1939Id::of(0x18EA17F9); // request to 17 from F9
        QCOMPARE(b.pgn, 59904u);
        QCOMPARE(b.destination, uint8_t(0x17));
        QCOMPARE(b.source, uint8_t(0xF9));
        QCOMPARE(J1939Id::of(0x19FECA03).pgn, 0x1FECAu); // data page set
        QCOMPARE(J1939Id::of(0x1BFECA03).pgn, 0x3FECAu); // and the extended data page
    }

    void j1939Sessions()
    {
        const QByteArray dm1 = pattern(20, 3), big = pattern(1785, 4), vin = pattern(17, 5);
        Stream s;
        s.j1939(0x00, 0xFF, 65226, dm1);
        s.j1939(0x03, 0xF9, 65260, big);
        s.j1939(0x11, 0xFF, 65259, vin, 2); // a data packet lost
        s.j1939(0x12, 0x21, 65259, vin);
        s.frames.removeLast(); // no EndOfMsgAck: the message was already whole
        s.j1939(0x13, 0xFF, 65259, vin);
        s.frames.removeLast();
        s.add(Stream::cm(0x13, 0xFF), true, QByteArray::fromHex("FF03FFFFFFEBFE00")); // abort
        s.j1939(0x14, 0xFF, 65259, vin);
        s.frames.removeLast(); // never finished
        const auto out = decode(s);
        const QStringList expected = {
            expect(Stream::dt(0x00, 0xFF), "ok", dm1),
            expect(Stream::dt(0x03, 0xF9), "ok", big),
            expect(Stream::dt(0x11, 0xFF), "sequence", vin.left(7)),
            expect(Stream::dt(0x12, 0x21), "ok", vin),
            expect(Stream::dt(0x13, 0xFF), "aborted", vin.left(14)),
            expect(Stream::dt(0x14, 0xFF), "timeout", vin.left(14)),
        };
        QCOMPARE(summaries(out).join(" | "), expected.join(" | "));
        QCOMPARE(out[1].pgn, 65260u);
        QCOMPARE(out[1].source, 0x03);
        QCOMPARE(out[1].target, 0xF9);
        QCOMPARE(out[0].protocol, DiagMessage::Protocol::J1939Tp);
    }

    void j1939SingleFrames()
    {
        Stream s;
        s.add(0x0CF00400, true, QByteArray::fromHex("F07D7D0000FF0FFF"));    // EEC1 from 00
        s.add(0x18EA17F9, true, QByteArray::fromHex("EEFE00"));              // request to 17
        s.add(0x18FECA03, true, QByteArray::fromHex("4400 6E00 0401 FFFF")); // DM1, one fault
        // Not J1939 groups known here: a proprietary one, the same DM1 on data page 1, a
        // remote frame, 11-bit traffic, and transport control that is no message by itself.
        s.add(0x18FF1203, true, QByteArray::fromHex("0102"));
        s.add(0x00000180, true, QByteArray::fromHex("FFFF4ED279559206")); // reads as TSC1
        s.add(0x0C000003, true, QByteArray::fromHex("01FFFFFFFFFFFFFF")); // TSC1 itself
        s.add(0x19FECA03, true, QByteArray::fromHex("FFFF000000000000"));
        s.add(0x0CF00400, true, QByteArray());
        s.frames.last().packet.rtl |= 0x40;
        s.add(0x4F0, false, QByteArray::fromHex("F07D7D0000FF0FFF"));
        s.add(Stream::cm(0x08, 0x07), true, QByteArray::fromHex("110201FFFF2CFE00"));
        // Between the packets of a broadcast: each comes out when it is complete.
        const QByteArray dm1 = pattern(20, 3);
        s.j1939(0x00, 0xFF, 65226, dm1);
        TimedPacket between = s.frames[0];
        between.time = s.frames[s.frames.size() - 2].time + 1;
        s.frames.insert(s.frames.size() - 1, between);
        s.add(0x18DAF110, true, QByteArray::fromHex("037F2278")); // ISO-TP stays ISO-TP
        const auto out = decode(s);
        QCOMPARE(summaries(out),
                 QStringList({expect(0x0CF00400, "ok", QByteArray::fromHex("F07D7D0000FF0FFF")),
                              expect(0x18EA17F9, "ok", QByteArray::fromHex("EEFE00")),
                              expect(0x18FECA03, "ok", QByteArray::fromHex("44006E000401FFFF")),
                              expect(0x0CF00400, "ok", QByteArray::fromHex("F07D7D0000FF0FFF")),
                              expect(Stream::dt(0x00, 0xFF), "ok", dm1),
                              expect(0x18DAF110, "ok", QByteArray::fromHex("7F2278"))}));
        const QVector<int> pgns = {61444, 59904, 65226, 61444, 65226};
        const QVector<QPair<int, int>> addresses = {
            {0x00, 0xFF}, {0xF9, 0x17}, {0x03, 0xFF}, {0x00, 0xFF}, {0x00, 0xFF}};
        for (int i = 0; i < pgns.size(); ++i) {
            QCOMPARE(int(out[size_t(i)].pgn), pgns[i]);
            QCOMPARE(out[size_t(i)].source, addresses[i].first);
            QCOMPARE(out[size_t(i)].target, addresses[i].second);
            QCOMPARE(out[size_t(i)].functional, addresses[i].second == 0xFF);
        }
        QCOMPARE(out[0].protocol, DiagMessage::Protocol::J1939);
        QCOMPARE(out[4].protocol, DiagMessage::Protocol::J1939Tp);
        QCOMPARE(out[5].protocol, DiagMessage::Protocol::IsoTp);
        // Its own frame, its own time, in the line it came on.
        QCOMPARE(out[1].firstFrame, quint64(1));
        QCOMPARE(out[1].lastFrame, quint64(1));
        QCOMPARE(out[1].time, s.frames[1].time);
        QCOMPARE(out[3].firstFrame, quint64(s.frames.size() - 3));
        QCOMPARE(out[2].route, uint8_t(CanPacket::Can0ToCan1));
        QCOMPARE(DiagWords::protocol(out[0].protocol), "J1939");
    }

    // J1939 over CAN FD packs several groups into a frame: an FD frame on a J1939 identifier is not
    // read as the classic group of its identifier.
    void j1939NotReadFromFdFrames()
    {
        Stream s;
        s.addFd(0x0CF00400, true, QByteArray::fromHex("F07D7D0000FF0FFF"));
        s.addFd(0x18FECA03, true, QByteArray::fromHex("44006E000401FFFF0000000000000000"));
        s.addFd(Stream::cm(0x08, 0x07), true, QByteArray::fromHex("110201FFFF2CFE00"));
        s.add(0x0CF00400, true, QByteArray::fromHex("F07D7D0000FF0FFF"));
        QCOMPARE(summaries(decode(s)),
                 QStringList({expect(0x0CF00400, "ok", QByteArray::fromHex("F07D7D0000FF0FFF"))}));
    }

    void j1939Faults()
    {
        const QByteArray a = pattern(30, 1);
        Stream s;
        s.add(Stream::dt(0x05, 0xFF), true, QByteArray::fromHex("0101020304050607")); // alone
        s.j1939(0x06, 0xFF, 65226, a);
        const int last = s.frames.size();
        s.frames.resize(last - 2);     // two packets short
        s.j1939(0x06, 0xFF, 65226, a); // a new announcement interrupts
        // A retransmission asked by CTS is no fault: packets 2.. come again.
        s.add(Stream::cm(0x07, 0x08), true, QByteArray::fromHex("101E0005052CFE00"));
        s.add(Stream::cm(0x08, 0x07), true, QByteArray::fromHex("110201FFFF2CFE00"), 1000,
              1); // from the other line
        for (int n : {1, 2})
            s.add(Stream::dt(0x07, 0x08), true, QByteArray(1, char(n)) + a.mid((n - 1) * 7, 7));
        s.add(Stream::cm(0x08, 0x07), true, QByteArray::fromHex("110302FFFF2CFE00"), 1000,
              1); // from the other line
        for (int n : {2, 3, 4, 5}) {
            QByteArray d = QByteArray(1, char(n)) + a.mid((n - 1) * 7, 7);
            s.add(Stream::dt(0x07, 0x08), true, d + QByteArray(8 - d.size(), char(0xFF)));
        }
        const auto out = decode(s);
        // A lonely data packet does not say its group.
        QVERIFY(!out[0].hasPgn() && out[1].hasPgn());
        QCOMPARE(DiagDecoder::serviceName(out[0]), QString());
        QVERIFY(DiagCsv::line(out[0]).contains(",,,unexpected,"));
        QVERIFY(DiagCsv::line(out[1]).contains(",65226,interrupted,"));
        QCOMPARE(summaries(out),
                 QStringList({expect(Stream::dt(0x05, 0xFF), "unexpected",
                                     QByteArray::fromHex("01020304050607")),
                              expect(Stream::dt(0x06, 0xFF), "interrupted", a.left(21)),
                              expect(Stream::dt(0x06, 0xFF), "ok", a),
                              expect(Stream::dt(0x07, 0x08), "ok", a)}));
    }
};

QTEST_GUILESS_MAIN(TestDiagTransport)
#include "tst_diagtransport.moc"

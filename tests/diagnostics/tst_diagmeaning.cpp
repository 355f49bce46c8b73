// SPDX-License-Identifier: GPL-3.0-or-later
// What the messages say: UDS services, sub-functions, data identifiers, negative responses and
// DTCs; OBD-II PIDs with formulas and units, DTC codes, vehicle information; J1939 groups, DM1
// and the Address Claimed NAME; requests paired with their answers.
#include "diagnostics/diagdecoder.h"
#include "diagnostics/j1939meaning.h"
#include "diagnostics/obdmeaning.h"
#include "diagnostics/udsmeaning.h"
#include "diagtraffic.h"

#include <QtTest>

using namespace DiagTraffic;

namespace {

QString uds(const char *hex)
{
    return UdsMeaning::describe(QByteArray::fromHex(hex));
}

QString obd(const char *hex)
{
    return ObdMeaning::describe(QByteArray::fromHex(hex));
}

} // namespace

class TestDiagMeaning : public QObject
{
    Q_OBJECT

private slots:
    void udsMessages_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QString>("text");
        const QList<QPair<const char *, const char *>> cases = {
            {"1003", "DiagnosticSessionControl: extendedDiagnosticSession"},
            {"5003001901F4",
             "DiagnosticSessionControl positive response: extendedDiagnosticSession"},
            {"1181", "ECUReset: hardReset (suppressPosRspMsgIndicationBit)"},
            {"2701", "SecurityAccess: requestSeed level 1"},
            {"67011A2B3C4D", "SecurityAccess positive response: requestSeed level 1 seed 1A2B3C4D"},
            {"2702CAFE", "SecurityAccess: sendKey level 1 key CAFE"},
            {"7F2735", "SecurityAccess negative response: invalidKey (0x35)"},
            {"7F2278", "ReadDataByIdentifier negative response: "
                       "requestCorrectlyReceived-ResponsePending (0x78)"},
            {"7F3131", "RoutineControl negative response: requestOutOfRange (0x31)"},
            {"7F2240", "ReadDataByIdentifier negative response: "
                       "reservedByExtendedDataLinkSecurityDocument (0x40)"},
            {"22F190F18C", "ReadDataByIdentifier: F190 VIN, F18C ECUSerialNumber"},
            {"62F190574457", "ReadDataByIdentifier positive response: F190 VIN = \"WDW\""},
            {"62F18B200101",
             "ReadDataByIdentifier positive response: F18B ECUManufacturingDate = 200101"},
            {"31010203", "RoutineControl: startRoutine routine 0203"},
            {"190209", "ReadDTCInformation: reportDTCByStatusMask mask 09"},
            {"5902FF0123450912345608",
             "ReadDTCInformation positive response: reportDTCByStatusMask mask FF: DTC 012345 "
             "status 09, DTC 123456 status 08"},
            {"590109010005",
             "ReadDTCInformation positive response: reportNumberOfDTCByStatusMask count 5"},
            {"3E80", "TesterPresent: zeroSubFunction (suppressPosRspMsgIndicationBit)"},
            {"2E F1 98 41 42",
             "WriteDataByIdentifier: F198 repairShopCodeOrTesterSerialNumber = \"AB\""},
            {"3601AABB", "TransferData: block 1, 2 bytes"},
            {"37", "RequestTransferExit"},
            {"8502", "ControlDTCSetting: off"},
            {"2803", "CommunicationControl: disableRxAndTx"},
            {"14FFFFFF", "ClearDiagnosticInformation: group FFFFFF"},
            {"BA01", "service 0xBA: 01"},
        };
        for (const auto &c : cases)
            QTest::newRow(c.first) << QString::fromLatin1(c.first) << QString::fromUtf8(c.second);
    }
    void udsMessages()
    {
        QFETCH(QString, payload);
        QFETCH(QString, text);
        QCOMPARE(uds(payload.toLatin1().constData()), text);
    }

    void everyServiceHasItsName()
    {
        const QList<int> services = {0x10, 0x11, 0x14, 0x19, 0x22, 0x23, 0x24, 0x27, 0x28,
                                     0x29, 0x2A, 0x2C, 0x2E, 0x2F, 0x31, 0x34, 0x35, 0x36,
                                     0x37, 0x38, 0x3D, 0x3E, 0x83, 0x84, 0x85, 0x86, 0x87};
        for (int sid = 0; sid < 256; ++sid)
            QCOMPARE(UdsMeaning::isService(uint8_t(sid)), services.contains(sid));
        QCOMPARE(UdsMeaning::serviceName(0x2F), QStringLiteral("InputOutputControlByIdentifier"));
        for (uint16_t did = 0xF180; did <= 0xF19F; ++did)
            QVERIFY2(!UdsMeaning::dataIdentifierName(did).isEmpty(),
                     qPrintable(QString::number(did, 16)));
        QCOMPARE(UdsMeaning::dataIdentifierName(0xF1A0), QString());
        QCOMPARE(UdsMeaning::responseCodeName(0x12), QStringLiteral("subFunctionNotSupported"));
        QCOMPARE(UdsMeaning::responseCodeName(0x99), QStringLiteral("NRC 0x99"));
    }

    void obdMessages_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QString>("text");
        const QList<QPair<const char *, const char *>> cases = {
            {"010C0D", "Show current data request: 0C Engine speed, 0D Vehicle speed"},
            {"410D32", "Show current data: Vehicle speed: 50 km/h"},
            {"410C1AF8", "Show current data: Engine speed: 1726 rpm"},
            {"410C1AF90D32",
             "Show current data: Engine speed: 1726.25 rpm; Vehicle speed: 50 km/h"},
            {"41057B", "Show current data: Engine coolant temperature: 83 °C"},
            {"410680", "Show current data: Short term fuel trim - Bank 1: 0%"},
            {"411000FA", "Show current data: Mass air flow sensor air flow rate: 2.5 g/s"},
            {"41003E1FA813", "Show current data: PIDs supported [01-20]: 03 04 05 06 07 0C 0D 0E "
                             "0F 10 11 13 15 1C 1F 20"},
            {"410181070000", "Show current data: Monitor status since DTCs cleared: MIL on, 1 DTC"},
            {"41422EE0", "Show current data: Control module voltage: 12 V"},
            {"413200FF", "Show current data: Evap. system vapor pressure: 63.75 Pa"},
            {"4132FF00", "Show current data: Evap. system vapor pressure: -64 Pa"},
            {"416180", "Show current data: Driver's demand engine - percent torque: 3%"},
            {"4164807D7D7D7D",
             "Show current data: Engine percent torque data: idle 3%, points 0%, 0%, 0%, 0%"},
            {"42020001 03", "Show freeze frame data: Freeze DTC: P0103"},
            {"4302 0301 C123", "Show stored DTCs: P0301 U0123"},
            {"4700", "Show pending DTCs: no DTC"},
            {"4A01 9234", "Permanent DTCs: B1234"},
            {"0902", "Request vehicle information request: VIN"},
            {"4902015744573132333435363738393031323334",
             "Request vehicle information: VIN: WDW12345678901234"},
            {"490401 4A4D4231 32330000 00000000 00000000",
             "Request vehicle information: Calibration ID: JMB123"},
            {"04", "Clear DTCs and stored values request"},
            {"44", "Clear DTCs and stored values"},
        };
        for (const auto &c : cases)
            QTest::newRow(c.first) << QString::fromLatin1(c.first) << QString::fromUtf8(c.second);
    }
    void obdMessages()
    {
        QFETCH(QString, payload);
        QFETCH(QString, text);
        QCOMPARE(obd(payload.toLatin1().constData()), text);
    }

    void everyPidHasNameAndValue()
    {
        const uint8_t data[8] = {0x80, 0x40, 0x20, 0x10, 0x08, 0, 0, 0};
        for (int pid = 0; pid <= 0x64; ++pid) {
            QVERIFY(!ObdMeaning::pidName(uint8_t(pid)).isEmpty());
            const QString value = ObdMeaning::pidValue(uint8_t(pid), data, 5);
            QVERIFY2(value.startsWith(ObdMeaning::pidName(uint8_t(pid)) + ": ") &&
                         value.size() > ObdMeaning::pidName(uint8_t(pid)).size() + 2,
                     qPrintable(value));
        }
        QCOMPARE(ObdMeaning::pidValue(0x0C, data, 1), QString()); // too short
        QCOMPARE(ObdMeaning::pidName(0x65), QString());
        QCOMPARE(ObdMeaning::dtcCode(0x01, 0x03), QStringLiteral("P0103"));
        QCOMPARE(ObdMeaning::dtcCode(0x4A, 0xBC), QStringLiteral("C0ABC"));
        QCOMPARE(ObdMeaning::dtcCode(0xBF, 0xFF), QStringLiteral("B3FFF"));
    }

    void j1939Groups()
    {
        for (uint32_t pgn :
             {59904u, 60928u, 61444u, 65265u, 65262u, 65259u, 65260u, 65226u, 65227u})
            QVERIFY(!J1939Meaning::pgnName(pgn).isEmpty());
        QCOMPARE(J1939Meaning::describe(65226, QByteArray::fromHex("4400 6E00 0401 FFFF")),
                 QStringLiteral("Active Diagnostic Trouble Codes (DM1): MIL on, red stop off, "
                                "amber warning on, protect off; SPN 110 FMI 4 OC 1"));
        // SPN high bits sit in the top three bits of the third byte.
        QCOMPARE(J1939Meaning::describe(65227, QByteArray::fromHex("0000 FFFF E2 05 0000000000")),
                 QStringLiteral(
                     "Previously Active Diagnostic Trouble Codes (DM2): MIL off, red stop off, "
                     "amber warning off, protect off; SPN 524287 FMI 2 OC 5"));
        QCOMPARE(J1939Meaning::describe(59904, QByteArray::fromHex("ECFE00")),
                 QStringLiteral("Request (RQST): PGN 65260 Vehicle Identification (VI)"));
        // Identity 0x12345, manufacturer 0x123, ECU instance 1, function instance 2, function 0,
        // vehicle system 0x7F, instance 3, industry group 1, arbitrary address capable.
        const quint64 name = 0x12345ull | 0x123ull << 21 | 1ull << 32 | 2ull << 35 | 0x7Full << 49 |
                             3ull << 56 | 1ull << 60 | 1ull << 63;
        QByteArray bytes;
        for (int i = 0; i < 8; ++i)
            bytes.append(char(name >> (8 * i)));
        QCOMPARE(J1939Meaning::describe(60928, bytes),
                 QStringLiteral(
                     "Address Claimed (ACL): identity 74565, manufacturer 291, ECU instance 1, "
                     "function instance 2, function 0, vehicle system 127, vehicle system "
                     "instance 3, industry group 1, arbitrary address capable"));
        QCOMPARE(J1939Meaning::describe(65259, "MAKE*MODEL*123*"),
                 QStringLiteral("Component Identification (CI): MAKE / MODEL / 123"));
        QCOMPARE(J1939Meaning::describe(1234, "x"), QStringLiteral("PGN 1234"));
    }

    void j1939SingleFrameMeaning()
    {
        // A group in one frame reads as it would joined by the transport protocol.
        Stream s;
        s.add(0x18FECA00, true, QByteArray::fromHex("0400 6E00 0401 FFFF")); // DM1, one fault
        s.add(0x18FECA01, true, QByteArray::fromHex("0000 0000 0000 FFFF")); // DM1, none
        s.add(0x0CF00400, true, QByteArray::fromHex("F07D9BA01AFF0FFF"));    // EEC1
        s.add(0x18FEF100, true, QByteArray::fromHex("F70032FFFFFFFFFF"));    // CCVS
        s.add(0x18FEEE00, true, QByteArray::fromHex("7C28FFFFFFFFFFFF"));    // ET1
        s.add(0x18E8F900, true, QByteArray::fromHex("01FFFFFFF9ECFE00"));    // ACKM
        s.add(0x18EA00F9, true, QByteArray::fromHex("000000"));              // request TSC1
        s.add(0x0CF00400, true, QByteArray::fromHex("FFFFFFFFFFFFFFFF"));    // nothing available
        s.add(0x0CF00400, true, QByteArray::fromHex("FFFFFFFFFAFFFFFF"));    // top of the range
        DiagDecoder decoder;
        std::vector<DiagMessage> out;
        for (const TimedPacket &f : s.frames)
            decoder.feed(f, out);
        QStringList texts;
        for (const DiagMessage &m : out)
            texts.append(DiagDecoder::describe(m));
        QCOMPARE(texts,
                 QStringList(
                     {"Active Diagnostic Trouble Codes (DM1): MIL off, red stop off, amber "
                      "warning on, protect off; SPN 110 FMI 4 OC 1",
                      "Active Diagnostic Trouble Codes (DM1): MIL off, red stop off, amber "
                      "warning off, protect off; no DTC",
                      "Electronic Engine Controller 1 (EEC1): Engine speed: 852 rpm, actual "
                      "torque: 30 %",
                      "Cruise Control/Vehicle Speed (CCVS): Vehicle speed: 50.0 km/h",
                      "Engine Temperature 1 (ET1): Coolant temperature: 84 °C, fuel temperature: "
                      "0 °C",
                      "Acknowledgment (ACKM): NACK to F9, PGN 65260 Vehicle Identification (VI)",
                      "Request (RQST): PGN 0 Torque/Speed Control 1 (TSC1)",
                      "Electronic Engine Controller 1 (EEC1)",
                      "Electronic Engine Controller 1 (EEC1): Engine speed: 8031.875 rpm"}));
        QCOMPARE(DiagDecoder::serviceName(out[2]),
                 QStringLiteral("Electronic Engine Controller 1 (EEC1)"));
        QCOMPARE(DiagDecoder::serviceOf(out[2]), -1);
        QVERIFY(!DiagDecoder::isResponse(out[5]));
        // The PGN lookup sees every named group and nothing between them.
        for (uint32_t pgn : {0u, 59392u, 59904u, 60928u, 61444u, 65226u, 65279u})
            QVERIFY(J1939Meaning::isKnown(pgn));
        for (uint32_t pgn : {1u, 61184u, 65280u, 65535u, 0x1FECAu, 0x3FFFFu})
            QVERIFY(!J1939Meaning::isKnown(pgn));
    }

    void j1939RequestsTimed()
    {
        const auto request = [](Stream &s, uint8_t to, uint32_t pgn, qint64 gap) {
            s.add(0x18EA00F9u | uint32_t(to) << 8, true,
                  QByteArray(1, char(pgn)) + char(pgn >> 8) + char(pgn >> 16), gap);
        };
        Stream s;
        request(s, 0x00, 65262, 1000);
        s.add(0x18FEEE00, true, QByteArray::fromHex("7C28FFFFFFFFFFFF"), 50000); // ET1 answers
        s.add(0x18FEEE00, true, QByteArray::fromHex("7C28FFFFFFFFFFFF"), 1000);  // asked once
        request(s, 0xFF, 60928, 1000);                                           // everyone
        s.add(0x18EEFF00, true, pattern(8, 1), 10000);
        s.add(0x18EEFF17, true, pattern(8, 2), 10000);
        request(s, 0x03, 65260, 1000);
        s.add(0x18E8F903, true, QByteArray::fromHex("01FFFFFFF9ECFE00"), 5000); // NACK
        request(s, 0x00, 65262, 1000);
        s.add(0x18FEEE17, true, QByteArray::fromHex("7C28FFFFFFFFFFFF"), 1000); // not asked
        request(s, 0x05, 65263, 1000);
        s.add(0x18FEEF05, true, QByteArray::fromHex("FFFFFFFFFFFFFFFF"), 2000000); // too late
        request(s, 0x21, 65259, 1000);
        s.j1939(0x21, 0xFF, 65259, "MAKE*MODEL*SERIAL0001*");       // a joined answer
        s.add(0x18EA00F9, true, QByteArray::fromHex("EEFE"), 1000); // too short to ask
        DiagDecoder decoder;
        std::vector<DiagMessage> out;
        for (const TimedPacket &f : s.frames)
            decoder.feed(f, out);
        QList<qint64> times;
        for (const DiagMessage &m : out)
            times.append(m.responseTime);
        const qint64 joined = 50000 * 5; // the BAM 50 ms later, its four packets 50 ms apart
        QCOMPARE(times, QList<qint64>({-1, 50000, -1, -1, 10000, 20000, -1, 5000, -1, -1, -1, -1,
                                       -1, joined, -1}));
        QVERIFY(DiagDecoder::isGroupRequest(out[0]));
        QVERIFY(!DiagDecoder::isGroupRequest(out[1]));
        decoder.clear();
        out.clear();
        decoder.feed(s.frames[1], out); // the request is forgotten with the rest
        QCOMPARE(out.front().responseTime, qint64(-1));
    }

    void responsesPairedAndTimed()
    {
        Stream s;
        s.add(0x7E0, false, QByteArray::fromHex("0322F190"));
        s.add(0x7E8, false, QByteArray::fromHex("037F2278"), 20000,
              1); // back through the other line
        s.add(0x7E8, false, QByteArray::fromHex("0562F1904142"), 80000); // final answer
        s.add(0x7DF, false, QByteArray::fromHex("02010D"), 5000);
        s.add(0x7E9, false, QByteArray::fromHex("03410D32"), 3000);
        s.add(0x7E8, false, QByteArray::fromHex("03410D33"), 1000);
        s.add(0x7E8, false, QByteArray::fromHex("03410D34"),
              1000); // nobody asked again... functional: still paired
        s.add(0x18DA10F1, true, QByteArray::fromHex("023E00"), 1000);
        s.add(0x18DAF110, true, QByteArray::fromHex("027E00"), 2000);
        s.add(0x18DAF111, true, QByteArray::fromHex("027E00"), 2000); // another ECU: no request
        s.add(0x7E8, false, QByteArray::fromHex("0562F1904142"),
              1000); // asked once, answered before
        DiagDecoder decoder;
        std::vector<DiagMessage> out;
        for (const TimedPacket &f : s.frames)
            decoder.feed(f, out);
        QCOMPARE(out.size(), size_t(11));
        const QList<qint64> times = {-1, 20000, 100000, -1, 3000, 4000, 5000, -1, 2000, -1, -1};
        for (int i = 0; i < times.size(); ++i)
            QCOMPARE(out[size_t(i)].responseTime, times[i]);
        QCOMPARE(DiagDecoder::serviceName(out[1]), QStringLiteral("ReadDataByIdentifier"));
        QCOMPARE(DiagDecoder::negativeCode(out[1]), 0x78);
        QCOMPARE(DiagDecoder::serviceName(out[4]), QStringLiteral("Show current data"));
    }
};

QTEST_GUILESS_MAIN(TestDiagMeaning)
#include "tst_diagmeaning.moc"

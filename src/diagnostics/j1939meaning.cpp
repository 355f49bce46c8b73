// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/j1939meaning.h"

#include "diagnostics/diagtext.h"

#include <QStringList>
#include <algorithm>
#include <iterator>

namespace {

struct Group
{
    uint32_t pgn;
    const char *name;
};

// Sorted by PGN: looked up for every 29-bit frame.
constexpr Group Groups[] = {
    {0, "Torque/Speed Control 1 (TSC1)"},
    {49408, "Diagnostic Readiness 2 (DM21)"},
    {49664, "Monitor Performance Ratio (DM20)"},
    {51456, "Request 2 (RQST2)"},
    {51712, "Transfer (XFER)"},
    {54016, "Calibration Information (DM19)"},
    {55040, "Binary Data Transfer (DM16)"},
    {55296, "Memory Access Response (DM15)"},
    {55552, "Memory Access Request (DM14)"},
    {57088, "Stop Start Broadcast (DM13)"},
    {58112, "Command Non-Continuously Monitored Test (DM7)"},
    {59392, "Acknowledgment (ACKM)"},
    {59904, "Request (RQST)"},
    {60160, "Transport Protocol - Data Transfer (TP.DT)"},
    {60416, "Transport Protocol - Connection Management (TP.CM)"},
    {60928, "Address Claimed (ACL)"},
    {61440, "Electronic Retarder Controller 1 (ERC1)"},
    {61441, "Electronic Brake Controller 1 (EBC1)"},
    {61442, "Electronic Transmission Controller 1 (ETC1)"},
    {61443, "Electronic Engine Controller 2 (EEC2)"},
    {61444, "Electronic Engine Controller 1 (EEC1)"},
    {61445, "Electronic Transmission Controller 2 (ETC2)"},
    {64896, "Permanent DTCs (DM28)"},
    {64949, "Previously MIL-Off DTCs (DM23)"},
    {64965, "ECU Identification Information (ECUID)"},
    {65132, "Tachograph (TCO1)"},
    {65134, "High Resolution Wheel Speed (HRW)"},
    {65198, "Air Supply Pressure (AIR1)"},
    {65213, "Fan Drive (FD)"},
    {65215, "Wheel Speed Information (EBC2)"},
    {65217, "High Resolution Vehicle Distance (VDHR)"},
    {65226, "Active Diagnostic Trouble Codes (DM1)"},
    {65227, "Previously Active Diagnostic Trouble Codes (DM2)"},
    {65228, "Diagnostic Data Clear/Reset of Previously Active DTCs (DM3)"},
    {65229, "Freeze Frame Parameters (DM4)"},
    {65230, "Diagnostic Readiness 1 (DM5)"},
    {65231, "Emission-Related Pending DTCs (DM6)"},
    {65232, "Test Results for Non-Continuously Monitored Systems (DM8)"},
    {65235, "Diagnostic Data Clear/Reset for Active DTCs (DM11)"},
    {65236, "Emissions-Related Active DTCs (DM12)"},
    {65240, "Commanded Address (CA)"},
    {65242, "Software Identification (SOFT)"},
    {65244, "Idle Operation (IO)"},
    {65245, "Turbocharger (TC)"},
    {65247, "Electronic Engine Controller 3 (EEC3)"},
    {65248, "Vehicle Distance (VD)"},
    {65249, "Retarder Configuration (RC)"},
    {65251, "Engine Configuration 1 (EC1)"},
    {65252, "Shutdown (SHUTDN)"},
    {65253, "Engine Hours, Revolutions (HOURS)"},
    {65254, "Time/Date (TD)"},
    {65255, "Vehicle Hours (VH)"},
    {65256, "Vehicle Direction/Speed (VDS)"},
    {65257, "Fuel Consumption (Liquid) (LFC)"},
    {65258, "Vehicle Weight (VW)"},
    {65259, "Component Identification (CI)"},
    {65260, "Vehicle Identification (VI)"},
    {65261, "Cruise Control/Vehicle Speed Setup (CCSS)"},
    {65262, "Engine Temperature 1 (ET1)"},
    {65263, "Engine Fluid Level/Pressure 1 (EFL/P1)"},
    {65264, "Power Takeoff Information (PTO)"},
    {65265, "Cruise Control/Vehicle Speed (CCVS)"},
    {65266, "Fuel Economy (Liquid) (LFE)"},
    {65267, "Vehicle Position (VP)"},
    {65268, "Tire Condition (TIRE)"},
    {65269, "Ambient Conditions (AMB)"},
    {65270, "Inlet/Exhaust Conditions 1 (IC1)"},
    {65271, "Vehicle Electrical Power 1 (VEP1)"},
    {65272, "Transmission Fluids 1 (TRF1)"},
    {65276, "Dash Display (DD)"},
    {65279, "Operator Indicators (OI)"},
};

constexpr bool sorted()
{
    for (size_t i = 1; i < std::size(Groups); ++i) {
        if (Groups[i - 1].pgn >= Groups[i].pgn)
            return false;
    }
    return true;
}
static_assert(sorted(), "the groups are looked up by binary search");

const Group *groupOf(uint32_t pgn)
{
    const auto it = std::lower_bound(std::begin(Groups), std::end(Groups), pgn,
                                     [](const Group &g, uint32_t p) { return g.pgn < p; });
    return it != std::end(Groups) && it->pgn == pgn ? it : nullptr;
}

const char *const LampStates[] = {"off", "on", "error", "not available"};

QString lamps(uint8_t b)
{
    return QStringLiteral("MIL %1, red stop %2, amber warning %3, protect %4")
        .arg(LampStates[(b >> 6) & 3], LampStates[(b >> 4) & 3], LampStates[(b >> 2) & 3],
             LampStates[b & 3]);
}

// DM1, DM2 and the other DTC lists: lamps, flash byte, then four bytes per DTC (SPN 19 bits, FMI 5
// bits, CM, OC 7 bits).
QString diagnosticCodes(const QByteArray &p)
{
    if (p.size() < 2)
        return {};
    const auto *d = reinterpret_cast<const uint8_t *>(p.constData());
    QStringList parts{lamps(d[0])};
    for (int at = 2; at + 4 <= p.size(); at += 4) {
        const uint32_t spn = d[at] | d[at + 1] << 8 | uint32_t(d[at + 2] & 0xE0) << 11;
        if ((spn == 0 && (d[at + 2] & 0x1F) == 0) || (spn == 0x7FFFF && (d[at + 2] & 0x1F) == 31))
            continue; // the "no fault" placeholder, or padding
        parts.append(QStringLiteral("SPN %1 FMI %2 OC %3")
                         .arg(spn)
                         .arg(d[at + 2] & 0x1F)
                         .arg(d[at + 3] & 0x7F));
    }
    if (parts.size() == 1)
        parts.append(QStringLiteral("no DTC"));
    return parts.join(QStringLiteral("; "));
}

// The 64-bit NAME of Address Claimed, least significant byte first.
QString name(const QByteArray &p)
{
    if (p.size() < 8)
        return {};
    quint64 n = 0;
    for (int i = 7; i >= 0; --i)
        n = n << 8 | uint8_t(p[i]);
    return QStringLiteral("identity %1, manufacturer %2, ECU instance %3, function instance %4, "
                          "function %5, vehicle system %6, vehicle system instance %7, industry "
                          "group %8, arbitrary address %9")
        .arg(n & 0x1FFFFF)
        .arg((n >> 21) & 0x7FF)
        .arg((n >> 32) & 0x7)
        .arg((n >> 35) & 0x1F)
        .arg((n >> 40) & 0xFF)
        .arg((n >> 49) & 0x7F)
        .arg((n >> 56) & 0xF)
        .arg((n >> 60) & 0x7)
        .arg((n >> 63) ? "capable" : "not capable");
}

QString requested(const QByteArray &p)
{
    if (p.size() < 3)
        return {};
    const uint32_t pgn = uint8_t(p[0]) | uint8_t(p[1]) << 8 | uint32_t(uint8_t(p[2])) << 16;
    const QString known = J1939Meaning::pgnName(pgn);
    return QStringLiteral("PGN %1").arg(pgn) + (known.isEmpty() ? QString() : ' ' + known);
}

// Fields separated by '*', as Component and Vehicle Identification send them.
QString fields(const QByteArray &p)
{
    QStringList parts;
    for (const QByteArray &field : p.split('*'))
        parts.append(DiagText::asciiText(field));
    while (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    return parts.join(QStringLiteral(" / "));
}

// Parameters of one or two bytes, least significant first; the top of the range (0xFB.. or
// 0xFB00..) means error or not available, and is left out.
bool byteValue(const QByteArray &p, int at, uint *value)
{
    if (p.size() <= at || uint8_t(p[at]) >= 0xFB)
        return false;
    *value = uint8_t(p[at]);
    return true;
}

bool wordValue(const QByteArray &p, int at, uint *value)
{
    if (p.size() <= at + 1 || uint8_t(p[at + 1]) >= 0xFB)
        return false;
    *value = uint8_t(p[at]) | uint(uint8_t(p[at + 1])) << 8;
    return true;
}

// Values of the groups sent many times a second, written straight into the meaning: a
// capture holds millions of them.
class Values
{
public:
    explicit Values(QString &text) : out(text), start(text.size()) {}
    void add(QLatin1String label, const QString &value, const QString &unit)
    {
        if (out.size() > start)
            out += QLatin1String(", ");
        out += label;
        out += value;
        out += unit;
    }

private:
    QString &out;
    int start;
};

// A count of 1/8 units, exactly ("852", "8031.875"): no rounding, and quicker than a double.
QString eighths(uint value)
{
    static const char *const Fractions[] = {"", ".125", ".25", ".375", ".5", ".625", ".75", ".875"};
    return QString::number(value / 8) + QLatin1String(Fractions[value % 8]);
}

// EEC1: engine speed (bytes 4-5, 0.125 rpm) and actual engine torque (byte 3, -125 %).
void engine(const QByteArray &p, QString &out)
{
    Values values(out);
    uint value = 0;
    if (wordValue(p, 3, &value))
        values.add(QLatin1String("Engine speed: "), eighths(value), QStringLiteral(" rpm"));
    if (byteValue(p, 2, &value))
        values.add(QLatin1String("actual torque: "), QString::number(int(value) - 125),
                   QStringLiteral(" %"));
}

// CCVS: wheel-based vehicle speed, bytes 2-3, 1/256 km/h.
void vehicleSpeed(const QByteArray &p, QString &out)
{
    uint value = 0;
    if (wordValue(p, 1, &value))
        Values(out).add(QLatin1String("Vehicle speed: "),
                        QString::number(double(value) / 256.0, 'f', 1), QStringLiteral(" km/h"));
}

// ET1: coolant and fuel temperature, a byte each, -40 °C.
void engineTemperature(const QByteArray &p, QString &out)
{
    Values values(out);
    uint value = 0;
    if (byteValue(p, 0, &value))
        values.add(QLatin1String("Coolant temperature: "), QString::number(int(value) - 40),
                   QStringLiteral(" °C"));
    if (byteValue(p, 1, &value))
        values.add(QLatin1String("fuel temperature: "), QString::number(int(value) - 40),
                   QStringLiteral(" °C"));
}

// ACKM: the control byte, the address it answers and the PGN it is about.
QString acknowledgment(const QByteArray &p)
{
    static const char *const Kinds[] = {"ACK", "NACK", "Access denied", "Cannot respond"};
    if (p.size() < 8)
        return {};
    const uint8_t control = uint8_t(p[0]);
    const QString kind =
        control < 4 ? QLatin1String(Kinds[control]) : QStringLiteral("control %1").arg(control);
    const uint32_t pgn = uint8_t(p[5]) | uint8_t(p[6]) << 8 | uint32_t(uint8_t(p[7])) << 16;
    const QString known = J1939Meaning::pgnName(pgn);
    return kind +
           QStringLiteral(" to %1, PGN %2")
               .arg(QString::number(uint8_t(p[4]), 16).toUpper().rightJustified(2, '0'))
               .arg(pgn) +
           (known.isEmpty() ? QString() : ' ' + known);
}

// The details of the groups read here, after the name; nothing for the others.
void details(uint32_t pgn, const QByteArray &payload, QString &out)
{
    switch (pgn) {
    case 65226: // DM1
    case 65227: // DM2
    case 65231: // DM6
    case 65236: // DM12
    case 64949: // DM23
    case 64896: // DM28
        out += diagnosticCodes(payload);
        break;
    case 59392:
        out += acknowledgment(payload);
        break;
    case 61444:
        engine(payload, out);
        break;
    case 65265:
        vehicleSpeed(payload, out);
        break;
    case 65262:
        engineTemperature(payload, out);
        break;
    case 60928:
        out += name(payload);
        break;
    case 59904:
        out += requested(payload);
        break;
    case 65259:
    case 65260:
    case 65242:
    case 64965:
        out += fields(payload);
        break;
    default:
        break;
    }
}

} // namespace

namespace J1939Meaning {

QString pgnName(uint32_t pgn)
{
    const Group *group = groupOf(pgn);
    return group ? QString::fromLatin1(group->name) : QString();
}

bool isKnown(uint32_t pgn)
{
    return groupOf(pgn) != nullptr;
}

QString describe(uint32_t pgn, const QByteArray &payload)
{
    const Group *group = groupOf(pgn);
    QString out;
    out.reserve(128);
    if (group)
        out += QLatin1String(group->name);
    else
        out += QStringLiteral("PGN ") + QString::number(pgn);
    const int head = out.size();
    out += QLatin1String(": ");
    details(pgn, payload, out);
    if (out.size() == head + 2)
        out.truncate(head);
    return out;
}

} // namespace J1939Meaning

// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/j1939meaning.h"

#include "diagnostics/diagtext.h"

#include <QStringList>

namespace {

struct Group
{
    uint32_t pgn;
    const char *name;
};

const Group Groups[] = {
    {59392, "Acknowledgment (ACKM)"},
    {59904, "Request (RQST)"},
    {60160, "Transport Protocol - Data Transfer (TP.DT)"},
    {60416, "Transport Protocol - Connection Management (TP.CM)"},
    {60928, "Address Claimed (ACL)"},
    {61441, "Electronic Brake Controller 1 (EBC1)"},
    {61442, "Electronic Transmission Controller 1 (ETC1)"},
    {61443, "Electronic Engine Controller 2 (EEC2)"},
    {61444, "Electronic Engine Controller 1 (EEC1)"},
    {61445, "Electronic Transmission Controller 2 (ETC2)"},
    {64965, "ECU Identification Information (ECUID)"},
    {65226, "Active Diagnostic Trouble Codes (DM1)"},
    {65227, "Previously Active Diagnostic Trouble Codes (DM2)"},
    {65228, "Diagnostic Data Clear/Reset of Previously Active DTCs (DM3)"},
    {65229, "Freeze Frame Parameters (DM4)"},
    {65230, "Diagnostic Readiness 1 (DM5)"},
    {65231, "Emission-Related Pending DTCs (DM6)"},
    {65235, "Diagnostic Data Clear/Reset for Active DTCs (DM11)"},
    {65236, "Emissions-Related Active DTCs (DM12)"},
    {65242, "Software Identification (SOFT)"},
    {65248, "Vehicle Distance (VD)"},
    {65253, "Engine Hours, Revolutions (HOURS)"},
    {65254, "Time/Date (TD)"},
    {65257, "Fuel Consumption (Liquid) (LFC)"},
    {65259, "Component Identification (CI)"},
    {65260, "Vehicle Identification (VI)"},
    {65262, "Engine Temperature 1 (ET1)"},
    {65263, "Engine Fluid Level/Pressure 1 (EFL/P1)"},
    {65265, "Cruise Control/Vehicle Speed (CCVS)"},
    {65266, "Fuel Economy (Liquid) (LFE)"},
    {65269, "Ambient Conditions (AMB)"},
    {65270, "Inlet/Exhaust Conditions 1 (IC1)"},
    {65271, "Vehicle Electrical Power 1 (VEP1)"},
    {65276, "Dash Display (DD)"},
};

const char *const LampStates[] = {"off", "on", "error", "not available"};

QString lamps(uint8_t b)
{
    return QStringLiteral("MIL %1, red stop %2, amber warning %3, protect %4")
        .arg(LampStates[(b >> 6) & 3], LampStates[(b >> 4) & 3], LampStates[(b >> 2) & 3],
             LampStates[b & 3]);
}

// DM1/DM2: lamps, flash byte, then four bytes per DTC (SPN 19 bits, FMI 5 bits, CM, OC 7 bits).
QString diagnosticCodes(const QByteArray &p)
{
    if (p.size() < 2)
        return {};
    const auto *d = reinterpret_cast<const uint8_t *>(p.constData());
    QStringList parts{lamps(d[0])};
    for (int at = 2; at + 4 <= p.size(); at += 4) {
        const uint32_t spn = d[at] | d[at + 1] << 8 | uint32_t(d[at + 2] & 0xE0) << 11;
        if (spn == 0 && (d[at + 2] & 0x1F) == 0)
            continue; // the "no fault" placeholder
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

} // namespace

namespace J1939Meaning {

QString pgnName(uint32_t pgn)
{
    for (const Group &group : Groups) {
        if (group.pgn == pgn)
            return QString::fromLatin1(group.name);
    }
    return {};
}

QString describe(uint32_t pgn, const QByteArray &payload)
{
    const QString known = pgnName(pgn);
    const QString head = known.isEmpty() ? QStringLiteral("PGN %1").arg(pgn) : known;
    QString details;
    switch (pgn) {
    case 65226:
    case 65227:
        details = diagnosticCodes(payload);
        break;
    case 60928:
        details = name(payload);
        break;
    case 59904:
        details = requested(payload);
        break;
    case 65259:
    case 65260:
    case 65242:
    case 64965:
        details = fields(payload);
        break;
    default:
        break;
    }
    return details.isEmpty() ? head : head + ": " + details;
}

} // namespace J1939Meaning

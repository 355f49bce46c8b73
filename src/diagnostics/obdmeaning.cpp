// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/obdmeaning.h"

#include "diagnostics/diagtext.h"

#include <QStringList>

namespace {

enum class Kind : uint8_t {
    Linear,     // (raw * mul) + add, raw from one or two bytes
    Bitmap,     // supported PIDs
    Monitor,    // MIL, DTC count
    Dtc,        // the DTC that stored the freeze frame
    FuelSystem, // two status bytes
    OxygenVolt, // A/200 V, (B-128)*100/128 %
    Lambda,     // ratio, then voltage or current
    LambdaCurrent,
    MaxValues, // PID 0x4F
    TwoTrims,  // PIDs 0x55-0x58
    Torques,   // PID 0x64
    Hex,       // bit-coded values shown as bytes
};

struct Pid
{
    uint8_t pid;
    uint8_t bytes;
    const char *name;
    Kind kind;
    uint8_t rawBytes = 1;
    bool isSigned = false;
    double mul = 1;
    double add = 0;
    const char *unit = "";
};

constexpr double Pct = 100.0 / 255.0;
constexpr double Trim = 100.0 / 128.0;

#define LIN1(p, n, mul, add, unit)                                                                 \
    {                                                                                              \
        p, 1, n, Kind::Linear, 1, false, mul, add, unit                                            \
    }
#define LIN2(p, n, mul, add, unit)                                                                 \
    {                                                                                              \
        p, 2, n, Kind::Linear, 2, false, mul, add, unit                                            \
    }
#define SGN2(p, n, mul, unit)                                                                      \
    {                                                                                              \
        p, 2, n, Kind::Linear, 2, true, mul, 0, unit                                               \
    }
#define OTHER(p, b, n, kind)                                                                       \
    {                                                                                              \
        p, b, n, kind                                                                              \
    }

const Pid Pids[] = {
    OTHER(0x00, 4, "PIDs supported [01-20]", Kind::Bitmap),
    OTHER(0x01, 4, "Monitor status since DTCs cleared", Kind::Monitor),
    OTHER(0x02, 2, "Freeze DTC", Kind::Dtc),
    OTHER(0x03, 2, "Fuel system status", Kind::FuelSystem),
    LIN1(0x04, "Calculated engine load", Pct, 0, "%"),
    LIN1(0x05, "Engine coolant temperature", 1, -40, "°C"),
    LIN1(0x06, "Short term fuel trim - Bank 1", Trim, -100, "%"),
    LIN1(0x07, "Long term fuel trim - Bank 1", Trim, -100, "%"),
    LIN1(0x08, "Short term fuel trim - Bank 2", Trim, -100, "%"),
    LIN1(0x09, "Long term fuel trim - Bank 2", Trim, -100, "%"),
    LIN1(0x0A, "Fuel pressure", 3, 0, "kPa"),
    LIN1(0x0B, "Intake manifold absolute pressure", 1, 0, "kPa"),
    LIN2(0x0C, "Engine speed", 0.25, 0, "rpm"),
    LIN1(0x0D, "Vehicle speed", 1, 0, "km/h"),
    LIN1(0x0E, "Timing advance", 0.5, -64, "° before TDC"),
    LIN1(0x0F, "Intake air temperature", 1, -40, "°C"),
    LIN2(0x10, "Mass air flow sensor air flow rate", 0.01, 0, "g/s"),
    LIN1(0x11, "Throttle position", Pct, 0, "%"),
    OTHER(0x12, 1, "Commanded secondary air status", Kind::Hex),
    OTHER(0x13, 1, "Oxygen sensors present (2 banks)", Kind::Hex),
    OTHER(0x14, 2, "Oxygen sensor 1", Kind::OxygenVolt),
    OTHER(0x15, 2, "Oxygen sensor 2", Kind::OxygenVolt),
    OTHER(0x16, 2, "Oxygen sensor 3", Kind::OxygenVolt),
    OTHER(0x17, 2, "Oxygen sensor 4", Kind::OxygenVolt),
    OTHER(0x18, 2, "Oxygen sensor 5", Kind::OxygenVolt),
    OTHER(0x19, 2, "Oxygen sensor 6", Kind::OxygenVolt),
    OTHER(0x1A, 2, "Oxygen sensor 7", Kind::OxygenVolt),
    OTHER(0x1B, 2, "Oxygen sensor 8", Kind::OxygenVolt),
    OTHER(0x1C, 1, "OBD standards this vehicle conforms to", Kind::Hex),
    OTHER(0x1D, 1, "Oxygen sensors present (4 banks)", Kind::Hex),
    OTHER(0x1E, 1, "Auxiliary input status", Kind::Hex),
    LIN2(0x1F, "Run time since engine start", 1, 0, "s"),
    OTHER(0x20, 4, "PIDs supported [21-40]", Kind::Bitmap),
    LIN2(0x21, "Distance traveled with MIL on", 1, 0, "km"),
    LIN2(0x22, "Fuel rail pressure (relative to manifold vacuum)", 0.079, 0, "kPa"),
    LIN2(0x23, "Fuel rail gauge pressure", 10, 0, "kPa"),
    OTHER(0x24, 4, "Oxygen sensor 1", Kind::Lambda),
    OTHER(0x25, 4, "Oxygen sensor 2", Kind::Lambda),
    OTHER(0x26, 4, "Oxygen sensor 3", Kind::Lambda),
    OTHER(0x27, 4, "Oxygen sensor 4", Kind::Lambda),
    OTHER(0x28, 4, "Oxygen sensor 5", Kind::Lambda),
    OTHER(0x29, 4, "Oxygen sensor 6", Kind::Lambda),
    OTHER(0x2A, 4, "Oxygen sensor 7", Kind::Lambda),
    OTHER(0x2B, 4, "Oxygen sensor 8", Kind::Lambda),
    LIN1(0x2C, "Commanded EGR", Pct, 0, "%"),
    LIN1(0x2D, "EGR error", Trim, -100, "%"),
    LIN1(0x2E, "Commanded evaporative purge", Pct, 0, "%"),
    LIN1(0x2F, "Fuel tank level input", Pct, 0, "%"),
    LIN1(0x30, "Warm-ups since codes cleared", 1, 0, ""),
    LIN2(0x31, "Distance traveled since codes cleared", 1, 0, "km"),
    SGN2(0x32, "Evap. system vapor pressure", 0.25, "Pa"),
    LIN1(0x33, "Absolute barometric pressure", 1, 0, "kPa"),
    OTHER(0x34, 4, "Oxygen sensor 1", Kind::LambdaCurrent),
    OTHER(0x35, 4, "Oxygen sensor 2", Kind::LambdaCurrent),
    OTHER(0x36, 4, "Oxygen sensor 3", Kind::LambdaCurrent),
    OTHER(0x37, 4, "Oxygen sensor 4", Kind::LambdaCurrent),
    OTHER(0x38, 4, "Oxygen sensor 5", Kind::LambdaCurrent),
    OTHER(0x39, 4, "Oxygen sensor 6", Kind::LambdaCurrent),
    OTHER(0x3A, 4, "Oxygen sensor 7", Kind::LambdaCurrent),
    OTHER(0x3B, 4, "Oxygen sensor 8", Kind::LambdaCurrent),
    LIN2(0x3C, "Catalyst temperature: Bank 1, Sensor 1", 0.1, -40, "°C"),
    LIN2(0x3D, "Catalyst temperature: Bank 2, Sensor 1", 0.1, -40, "°C"),
    LIN2(0x3E, "Catalyst temperature: Bank 1, Sensor 2", 0.1, -40, "°C"),
    LIN2(0x3F, "Catalyst temperature: Bank 2, Sensor 2", 0.1, -40, "°C"),
    OTHER(0x40, 4, "PIDs supported [41-60]", Kind::Bitmap),
    OTHER(0x41, 4, "Monitor status this drive cycle", Kind::Hex),
    LIN2(0x42, "Control module voltage", 0.001, 0, "V"),
    LIN2(0x43, "Absolute load value", Pct, 0, "%"),
    LIN2(0x44, "Commanded air-fuel equivalence ratio", 2.0 / 65536, 0, ""),
    LIN1(0x45, "Relative throttle position", Pct, 0, "%"),
    LIN1(0x46, "Ambient air temperature", 1, -40, "°C"),
    LIN1(0x47, "Absolute throttle position B", Pct, 0, "%"),
    LIN1(0x48, "Absolute throttle position C", Pct, 0, "%"),
    LIN1(0x49, "Accelerator pedal position D", Pct, 0, "%"),
    LIN1(0x4A, "Accelerator pedal position E", Pct, 0, "%"),
    LIN1(0x4B, "Accelerator pedal position F", Pct, 0, "%"),
    LIN1(0x4C, "Commanded throttle actuator", Pct, 0, "%"),
    LIN2(0x4D, "Time run with MIL on", 1, 0, "min"),
    LIN2(0x4E, "Time since trouble codes cleared", 1, 0, "min"),
    OTHER(0x4F, 4, "Maximum values", Kind::MaxValues),
    {0x50, 4, "Maximum value for air flow rate from mass air flow sensor", Kind::Linear, 1, false,
     10, 0, "g/s"},
    OTHER(0x51, 1, "Fuel type", Kind::Hex),
    LIN1(0x52, "Ethanol fuel", Pct, 0, "%"),
    LIN2(0x53, "Absolute evap system vapor pressure", 0.005, 0, "kPa"),
    SGN2(0x54, "Evap system vapor pressure", 1, "Pa"),
    OTHER(0x55, 2, "Short term secondary oxygen sensor trim, bank 1 and bank 3", Kind::TwoTrims),
    OTHER(0x56, 2, "Long term secondary oxygen sensor trim, bank 1 and bank 3", Kind::TwoTrims),
    OTHER(0x57, 2, "Short term secondary oxygen sensor trim, bank 2 and bank 4", Kind::TwoTrims),
    OTHER(0x58, 2, "Long term secondary oxygen sensor trim, bank 2 and bank 4", Kind::TwoTrims),
    LIN2(0x59, "Fuel rail absolute pressure", 10, 0, "kPa"),
    LIN1(0x5A, "Relative accelerator pedal position", Pct, 0, "%"),
    LIN1(0x5B, "Hybrid battery pack remaining life", Pct, 0, "%"),
    LIN1(0x5C, "Engine oil temperature", 1, -40, "°C"),
    LIN2(0x5D, "Fuel injection timing", 1.0 / 128, -210, "°"),
    LIN2(0x5E, "Engine fuel rate", 0.05, 0, "L/h"),
    OTHER(0x5F, 1, "Emission requirements to which vehicle is designed", Kind::Hex),
    OTHER(0x60, 4, "PIDs supported [61-80]", Kind::Bitmap),
    LIN1(0x61, "Driver's demand engine - percent torque", 1, -125, "%"),
    LIN1(0x62, "Actual engine - percent torque", 1, -125, "%"),
    LIN2(0x63, "Engine reference torque", 1, 0, "N·m"),
    OTHER(0x64, 5, "Engine percent torque data", Kind::Torques),
};

#undef LIN1
#undef LIN2
#undef SGN2
#undef OTHER

static_assert(sizeof(Pids) / sizeof(Pids[0]) == 0x65, "one entry per PID 0x00-0x64, in order");

const char *const Services[] = {
    "Show current data",
    "Show freeze frame data",
    "Show stored DTCs",
    "Clear DTCs and stored values",
    "Oxygen sensor monitoring test results",
    "On-board monitoring test results",
    "Show pending DTCs",
    "Control operation of on-board system",
    "Request vehicle information",
    "Permanent DTCs",
};

const char *const VehicleInfo[] = {
    "Service 9 supported PIDs",
    "VIN message count",
    "VIN",
    "Calibration ID message count",
    "Calibration ID",
    "CVN message count",
    "CVN",
    "In-use performance tracking message count",
    "In-use performance tracking",
    "ECU name message count",
    "ECU name",
    "In-use performance tracking (compression ignition)",
};

const Pid *findPid(uint8_t pid)
{
    return pid < sizeof(Pids) / sizeof(Pids[0]) ? &Pids[pid] : nullptr;
}

QString number(double value)
{
    QString text = QString::number(value, 'f', 3);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

QString withUnit(double value, const char *unit)
{
    const QString u = QString::fromUtf8(unit);
    return u.isEmpty() ? number(value) : u == "%" ? number(value) + u : number(value) + ' ' + u;
}

uint word(const uint8_t *d)
{
    return uint(d[0]) << 8 | d[1];
}

QString bitmap(uint8_t pid, const uint8_t *d)
{
    QStringList supported;
    for (int bit = 0; bit < 32; ++bit) {
        if (d[bit / 8] & (0x80 >> (bit % 8)))
            supported.append(DiagText::hex(pid + bit + 1, 2));
    }
    return supported.isEmpty() ? QStringLiteral("none") : supported.join(' ');
}

QString special(const Pid &p, const uint8_t *d)
{
    switch (p.kind) {
    case Kind::Bitmap:
        return bitmap(p.pid, d);
    case Kind::Monitor:
        return QStringLiteral("MIL %1, %2 DTC").arg(d[0] & 0x80 ? "on" : "off").arg(d[0] & 0x7F);
    case Kind::Dtc:
        return ObdMeaning::dtcCode(d[0], d[1]);
    case Kind::OxygenVolt:
        return withUnit(d[0] / 200.0, "V") +
               (d[1] == 0xFF ? QString() : ", trim " + withUnit((d[1] - 128) * Trim, "%"));
    case Kind::Lambda:
        return "ratio " + number(word(d) * 2.0 / 65536) + ", " +
               withUnit(word(d + 2) * 8.0 / 65536, "V");
    case Kind::LambdaCurrent:
        return "ratio " + number(word(d) * 2.0 / 65536) + ", " +
               withUnit(word(d + 2) / 256.0 - 128, "mA");
    case Kind::MaxValues:
        return QStringLiteral("ratio %1, %2 V, %3 mA, %4 kPa")
            .arg(d[0])
            .arg(d[1])
            .arg(d[2])
            .arg(d[3] * 10);
    case Kind::TwoTrims:
        return withUnit((d[0] - 128) * Trim, "%") + ", " + withUnit((d[1] - 128) * Trim, "%");
    case Kind::Torques:
        return QStringLiteral("idle %1%, points %2%, %3%, %4%, %5%")
            .arg(d[0] - 125)
            .arg(d[1] - 125)
            .arg(d[2] - 125)
            .arg(d[3] - 125)
            .arg(d[4] - 125);
    default:
        return DiagText::hexBytes(QByteArray(reinterpret_cast<const char *>(d), p.bytes));
    }
}

// PID records of a service 01 (or, with a frame number after each PID, 02) response.
QString pidRecords(const QByteArray &payload, bool freezeFrame)
{
    QStringList parts;
    const auto *d = reinterpret_cast<const uint8_t *>(payload.constData());
    int at = 1;
    while (at < payload.size()) {
        const uint8_t pid = d[at];
        const Pid *p = findPid(pid);
        const int skip = freezeFrame ? 2 : 1;
        if (!p || at + skip + p->bytes > payload.size()) {
            parts.append(DiagText::hexBytes(payload.mid(at)));
            break;
        }
        parts.append(ObdMeaning::pidValue(pid, d + at + skip, p->bytes));
        at += skip + p->bytes;
    }
    return parts.join(QStringLiteral("; "));
}

QString pidRequest(const QByteArray &payload)
{
    QStringList parts;
    for (int at = 1; at < payload.size(); ++at) {
        const uint8_t pid = uint8_t(payload[at]);
        const QString name = ObdMeaning::pidName(pid);
        parts.append(DiagText::hex(pid, 2) + (name.isEmpty() ? QString() : ' ' + name));
    }
    return parts.join(QStringLiteral(", "));
}

QString dtcList(const QByteArray &payload)
{
    // On CAN the count byte leads; an odd length tells it is there.
    int at = payload.size() % 2 == 0 ? 2 : 1;
    QStringList codes;
    for (; at + 2 <= payload.size(); at += 2) {
        if (payload[at] || payload[at + 1])
            codes.append(ObdMeaning::dtcCode(uint8_t(payload[at]), uint8_t(payload[at + 1])));
    }
    return codes.isEmpty() ? QStringLiteral("no DTC") : codes.join(' ');
}

QString vehicleInfo(const QByteArray &payload)
{
    if (payload.size() < 2)
        return {};
    const uint8_t pid = uint8_t(payload[1]);
    const QString name = pid < sizeof(VehicleInfo) / sizeof(VehicleInfo[0])
                             ? QString::fromLatin1(VehicleInfo[pid])
                             : QStringLiteral("PID ") + DiagText::hex(pid, 2);
    if (payload.size() == 2)
        return name;
    if (pid == 0x00 && payload.size() >= 6)
        return name + ": " + bitmap(0, reinterpret_cast<const uint8_t *>(payload.constData()) + 2);
    const QByteArray data = payload.mid(3); // after the count of data items
    if (pid == 0x02 || pid == 0x04 || pid == 0x0A)
        return name + ": " + DiagText::asciiText(data);
    return name + (payload.size() > 2 ? ": " + DiagText::hexBytes(payload.mid(2)) : QString());
}

QString responseDetails(const QByteArray &payload)
{
    switch (uint8_t(payload[0]) & 0x0F) {
    case 0x01:
        return pidRecords(payload, false);
    case 0x02:
        return pidRecords(payload, true);
    case 0x03:
    case 0x07:
    case 0x0A:
        return dtcList(payload);
    case 0x09:
        return vehicleInfo(payload);
    default:
        return payload.size() > 1 ? DiagText::hexBytes(payload.mid(1)) : QString();
    }
}

} // namespace

namespace ObdMeaning {

bool isObd(uint8_t sid)
{
    const uint8_t service = sid & ~0x40;
    return service >= 0x01 && service <= 0x0A;
}

QString serviceName(uint8_t service)
{
    return service >= 1 && service <= 10 ? QString::fromLatin1(Services[service - 1]) : QString();
}

QString pidName(uint8_t pid)
{
    const Pid *p = findPid(pid);
    return p ? QString::fromUtf8(p->name) : QString();
}

QString pidValue(uint8_t pid, const uint8_t *data, int size)
{
    const Pid *p = findPid(pid);
    if (!p || size < p->bytes)
        return {};
    const QString name = QString::fromUtf8(p->name);
    if (p->kind != Kind::Linear)
        return name + ": " + special(*p, data);
    int raw = p->rawBytes == 2 ? int(word(data)) : data[0];
    if (p->isSigned)
        raw = int16_t(raw);
    return name + ": " + withUnit(raw * p->mul + p->add, p->unit);
}

QString dtcCode(uint8_t high, uint8_t low)
{
    static const char Letters[] = {'P', 'C', 'B', 'U'};
    return QLatin1Char(Letters[high >> 6]) + QString::number((high >> 4) & 0x3) +
           DiagText::hex(uint(high & 0x0F) << 8 | low, 3);
}

QString describe(const QByteArray &payload)
{
    if (payload.isEmpty())
        return {};
    const uint8_t sid = uint8_t(payload[0]);
    const QString service = serviceName(sid & 0x0F);
    if (sid & 0x40) {
        const QString details = responseDetails(payload);
        return details.isEmpty() ? service : service + ": " + details;
    }
    if ((sid == 0x01 || sid == 0x02) && payload.size() > 1)
        return service + " request: " + pidRequest(payload);
    if (sid == 0x09 && payload.size() > 1)
        return service + " request: " + vehicleInfo(payload.left(2));
    return service + " request";
}

} // namespace ObdMeaning

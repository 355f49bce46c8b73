// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "signals/dbcvaluetable.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QtEndian>
#include <cstdint>
#include <cstring>
#include <vector>

// One signal of a DBC message: where its bits lie, how they scale, and the decoding plan worked
// out once at load so that decoding a frame is a load, a shift and a mask with no allocation.
struct DbcSignal
{
    enum class ByteOrder { Intel, Motorola };
    enum class ValueType { Integer, Float, Double };

    // Multiplexor values for which the signal is present, inclusive.
    struct Range
    {
        qint64 low = 0;
        qint64 high = 0;
    };

    static constexpr int NoSwitch = -1;
    static constexpr int BrokenSwitch = -2;  // multiplexed by nothing usable: never active
    static constexpr int MaxFrameBytes = 64; // a CAN FD frame
    static constexpr int MaxLength = 64;

    QString name;
    int startBit = 0; // Intel: least significant bit; Motorola: most significant, sawtooth order
    int length = 0;
    ByteOrder byteOrder = ByteOrder::Intel;
    bool isSigned = false;
    ValueType valueType = ValueType::Integer;
    double factor = 1;
    double offset = 0;
    double minimum = 0;
    double maximum = 0;
    QString unit;
    QStringList receivers;
    QString comment;
    DbcValueTable valueTable;
    QHash<QString, QString> attributes; // BA_ values as written, enum values as their label
    double startValue = 0;              // GenSigStartValue, raw
    bool hasStartValue = false;

    bool isMultiplexor = false; // "M", or the "M" of "mNM"
    qint64 muxValue = -1;       // N of "mN"; -1 when not multiplexed
    bool extendedMux = false;   // switch and ranges come from SG_MUL_VAL_
    int switchIndex = NoSwitch; // index in the message of the multiplexor that selects it
    std::vector<Range> muxRanges;

    // Works out the decoding plan from the layout; call after changing it.
    void plan();
    bool isPresent(int frameLength) const { return bytesNeeded <= frameLength; }
    bool selectedBy(qint64 switchValue) const;

    // The signal's bits, right-aligned. Only for a present signal, from a buffer of at least
    // eight bytes: eight are read from the eight (or nine) that hold the signal, never past the
    // frame's length.
    uint64_t bits(const uint8_t *data) const
    {
        const uint8_t *at = data + wordAt;
        const uint64_t word =
            bigEndian ? qFromBigEndian<quint64>(at) : qFromLittleEndian<quint64>(at);
        if (Q_UNLIKELY(spill))
            return spilledBits(at, word);
        return (word >> shift) & mask;
    }
    // The bits as an integer, sign-extended for a signed signal.
    int64_t integer(uint64_t raw) const
    {
        return int64_t(isSigned && (raw & signBit) ? raw | ~mask : raw);
    }
    // The raw value as a number: integer, or the IEEE float or double the bits hold.
    double number(uint64_t raw) const;
    double physical(uint64_t raw) const { return number(raw) * factor + offset; }
    const QString *valueText(uint64_t raw) const { return valueTable.text(integer(raw)); }
    // Physical value from a frame; false when the signal lies beyond the frame's length.
    bool decode(const uint8_t *data, int frameLength, double *value) const;

private:
    // A long signal that starts inside a byte may span nine: the ninth byte's bits join in.
    uint64_t spilledBits(const uint8_t *at, uint64_t word) const;

    int bytesNeeded = MaxFrameBytes + 1;
    int wordAt = 0; // the first of the eight bytes read
    int shift = 0;
    bool spill = false;
    uint64_t mask = 0;
    uint64_t signBit = 0;
    bool bigEndian = false;
};

inline double DbcSignal::number(uint64_t raw) const
{
    switch (valueType) {
    case ValueType::Float: {
        const uint32_t low = uint32_t(raw);
        float f;
        std::memcpy(&f, &low, sizeof f);
        return double(f);
    }
    case ValueType::Double: {
        double d;
        std::memcpy(&d, &raw, sizeof d);
        return d;
    }
    case ValueType::Integer:
        break;
    }
    return isSigned ? double(integer(raw)) : double(raw);
}

inline bool DbcSignal::decode(const uint8_t *data, int frameLength, double *value) const
{
    if (!isPresent(frameLength))
        return false;
    *value = physical(bits(data));
    return true;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// One field of an identifier's frames and what it seems to be.
struct FieldMark
{
    enum Kind { Constant, Counter, Checksum, Flag, Value };

    quint32 id = 0;
    bool extended = false;
    Kind kind = Constant;
    int startBit = 0; // as DBC files number bits: least significant (Intel), most (Motorola)
    int length = 8;
    bool motorola = false;
    QString detail;    // "шаг 1", "XOR", "CRC-8, полином 0x1D, начальное 0xFF"
    double share = -1; // of the frames (or steps) that match what it is; -1 for flags and values

    // "константа", "счётчик", "контрольная сумма", "флаг", "значение".
    QString kindText() const;
};

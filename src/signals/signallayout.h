// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "signals/dbcsignal.h"

#include <QVector>

// Where a signal's bits lie in a frame, in DBC bit numbers: byte × 8 + bit, bit 0 the least
// significant bit of its byte. Intel signals count up from their start bit; Motorola signals start
// at their most significant bit and run down each byte, then on to bit 7 of the next byte.
namespace SignalLayout {
constexpr int MaxBytes = 64;

// The signal's bits from its least significant bit up; empty when they leave a 64-byte frame.
QVector<int> bits(int startBit, int length, DbcSignal::ByteOrder order);
// Whether every bit lies within `messageBytes`.
bool fits(int startBit, int length, DbcSignal::ByteOrder order, int messageBytes);
// The start bit and length of the run of bits between two cells of the grid (rows of bytes,
// bit 7 left), in the bit order given: a drag from `fromBit` to `toBit` in either direction.
void fromSelection(int fromBit, int toBit, DbcSignal::ByteOrder order, int *startBit, int *length);
// The signal a drag from `fromBit` to `toBit` makes, in the byte order its direction implies:
// within a byte Intel; from a high bit of byte n to a lower bit of a later byte Motorola (most
// significant first, running down the bytes); from a low bit to a higher one, or the same, Intel.
// The length is that of the run of cells between the two in that order.
void fromDrag(int fromBit, int toBit, int *startBit, int *length, DbcSignal::ByteOrder *order);
// The start bit of the same length over the same bytes in the other byte order, as many bits
// taken of the first and the last byte: Motorola 23|16 is Intel 16|16.
int otherOrderStart(int startBit, int length, DbcSignal::ByteOrder order);
} // namespace SignalLayout

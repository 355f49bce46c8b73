// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVector>
#include <cstdint>

struct CanPacket;
struct DbcMessage;
struct DbcSignal;

// One signal as a frame carries it, with the texts a user reads.
struct DecodedSignal
{
    const DbcSignal *signal = nullptr;
    int index = 0; // in the message's signal list
    double value = 0;
    uint64_t raw = 0;

    QString valueText() const; // physical value with its unit: "1234.5 rpm"
    QString rawText() const;   // signed when the signal is signed
    QString labelText() const; // the value table's text, or empty
    QString rangeText() const; // "[0 .. 8000]"

    // The signals a frame carries: only those present in its length and, of a multiplexed
    // message, those the current multiplexor values select. None for a remote request.
    static QVector<DecodedSignal> decode(const DbcMessage &message, const CanPacket &packet);
    // One line per signal: "Name = value unit (label)", under the message name.
    static QString summary(const DbcMessage &message, const CanPacket &packet);
    // A physical value as written in the page, the tooltips and the CSV: whole numbers without
    // a fraction, others with up to 12 significant digits, always with a point.
    static QString number(double value);
    // The data bytes a frame carries: none for a remote request, up to 64 for an FD frame.
    static int dataLength(const CanPacket &packet);
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "signals/dbcsignal.h"

#include <QHash>
#include <QString>
#include <cstdint>
#include <vector>

// One BO_ of a DBC file with its signals.
struct DbcMessage
{
    uint32_t id = 0; // without the DBC's bit 31
    bool extended = false;
    QString name;
    int size = 0;        // bytes
    QString transmitter; // empty for Vector__XXX
    QStringList senders; // BO_TX_BU_: every node that sends it
    QString comment;
    int cycleTimeMs = 0; // GenMsgCycleTime, or its default; 0 when neither is given
    // A J1939 parameter group (VFrameFormat "J1939PG", its own or the default; 29-bit only):
    // frames of its PGN are its frames, from any source.
    bool j1939 = false;
    // A CAN FD message: its VFrameFormat (its own or the default) is an FD one, or it is longer
    // than a classic frame. Set it to change the VFrameFormat when the message is put back.
    bool fd = false;
    QHash<QString, QString> attributes;
    std::vector<DbcSignal> signalList;

    // Whether a frame with this identifier is one of this message: the same identifier, or for
    // a J1939 parameter group the same PGN whatever the priority, source and destination.
    bool matches(uint32_t frameId, bool frameExtended) const
    {
        if (frameExtended != extended)
            return false;
        return frameId == id || (j1939 && samePgn(frameId));
    }
    // Index in signalList of the signal named `name`, or -1.
    int signalIndex(const QString &signalName) const { return byName.value(signalName, -1); }
    // Adds a signal, or replaces the one of the same name (returns false then).
    bool addSignal(DbcSignal signal);
    // Whether signal `index` is carried by this frame: every multiplexor above it is present
    // and holds one of its values. Allocation-free.
    bool isActive(int index, const uint8_t *data, int frameLength) const;
    // Links multiplexed signals to their multiplexor and cuts switch loops; names the signals
    // whose switch could not be resolved.
    QStringList resolveMultiplexing();

    // Edits. Puts `signal` in place of the one named `replacing`, or adds it when there is none;
    // removes one. Signals multiplexed by a changed or renamed signal stay tied to it; decoding
    // plans and multiplexing are worked out again.
    void setSignal(const QString &replacing, DbcSignal signal);
    bool removeSignal(const QString &signalName);

private:
    QHash<QString, int> byName;

    bool samePgn(uint32_t frameId) const;

    int plainMultiplexor() const;
    void reindex(const QHash<QString, QString> &switchNames);
    QHash<QString, QString> switchNames() const;
    bool switchLoops(int index) const;
};

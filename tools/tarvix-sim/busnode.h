// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"

#include <random>

// One periodic message of the simulated machine, as one control unit would send it: a fixed
// identifier, length and period, and data that moves the way real signals do.
class BusNode final
{
public:
    enum class Kind { Counter, Engine, Power, Flags, Fixed };

    // `alike`: an engine message of 8 bytes every 10 ms, as every other alike node.
    BusNode(uint32_t id, bool extended, uint8_t route, std::mt19937 &rng, bool alike = false);

    qint64 periodUs() const { return period; }
    // Turns the node into one that sends remote requests of its length.
    void makeRemote();
    // The frame for the next period; moves the node's signals one step on.
    CanPacket nextFrame(std::mt19937 &rng);

private:
    // A value that drifts towards a target and now and then picks a new one, like a temperature
    // or an engine speed.
    struct Drift
    {
        double value = 0, low = 0, high = 0, target = 0;
        void setRange(double lo, double hi, std::mt19937 &rng);
        double step(std::mt19937 &rng);
    };

    static qint64 pickPeriod(std::mt19937 &rng);
    static int pickLength(std::mt19937 &rng);
    void fillCounter(std::mt19937 &rng);
    void fillEngine(std::mt19937 &rng);
    void fillPower(std::mt19937 &rng);
    void fillFlags(std::mt19937 &rng);
    void putWord(int index, uint16_t word);

    CanPacket frame; // identifier, flags and length fixed; data rewritten per frame
    uint8_t payload[8] = {};
    Kind kind = Kind::Fixed;
    qint64 period = 0;
    uint8_t counter = 0;
    uint8_t flagBits = 0;
    Drift first, second;
};

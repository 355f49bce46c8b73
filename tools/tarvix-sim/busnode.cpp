// SPDX-License-Identifier: GPL-3.0-or-later
#include "busnode.h"

#include "link/tarvixprotocol.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr qint64 AlikePeriodUs = 10000;

int uniform(std::mt19937 &rng, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(rng);
}

bool chance(std::mt19937 &rng, int percent)
{
    return uniform(rng, 0, 99) < percent;
}
} // namespace

void BusNode::Drift::setRange(double lo, double hi, std::mt19937 &rng)
{
    low = lo;
    high = hi;
    value = target = lo + (hi - lo) * uniform(rng, 0, 1000) / 1000.0;
}

double BusNode::Drift::step(std::mt19937 &rng)
{
    if (chance(rng, 2))
        target = low + (high - low) * uniform(rng, 0, 1000) / 1000.0;
    const double noise = (high - low) * uniform(rng, -10, 10) / 2000.0;
    value = std::clamp(value + (target - value) * 0.05 + noise, low, high);
    return value;
}

BusNode::BusNode(uint32_t id, bool extended, uint8_t route, std::mt19937 &rng, bool alike)
    : kind(alike ? Kind::Engine : Kind(uniform(rng, 0, 4))),
      period(alike ? AlikePeriodUs : pickPeriod(rng))
{
    frame.id = id;
    frame.frame = uint8_t(route | (extended ? CanPacket::Extended : 0));
    frame.rtl = uint8_t(alike ? 8 : pickLength(rng));
    for (uint8_t &byte : payload)
        byte = uint8_t(uniform(rng, 0, 255));
    first.setRange(600, 6500, rng); // engine speed in rpm; also drives a voltage
    second.setRange(20, 110, rng);  // a temperature or a load in percent
    flagBits = uint8_t(uniform(rng, 0, 255));
}

void BusNode::makeRemote()
{
    frame.rtl = uint8_t(TarvixProtocol::RemoteFlag | frame.length());
}

qint64 BusNode::pickPeriod(std::mt19937 &rng)
{
    // Most traffic on a machine bus is fast control data; a few messages are slow status.
    static const int periodsMs[] = {10, 10, 10, 10,  10,  10,  20,  20,
                                    20, 50, 50, 100, 100, 200, 500, 1000};
    const int count = int(sizeof(periodsMs) / sizeof(periodsMs[0]));
    return qint64(periodsMs[uniform(rng, 0, count - 1)]) * 1000;
}

int BusNode::pickLength(std::mt19937 &rng)
{
    return chance(rng, 65) ? 8 : uniform(rng, 0, 7);
}

CanPacket BusNode::nextFrame(std::mt19937 &rng)
{
    CanPacket out = frame;
    if (frame.isRemote())
        return out; // a remote request carries no data
    switch (kind) {
    case Kind::Counter:
        fillCounter(rng);
        break;
    case Kind::Engine:
        fillEngine(rng);
        break;
    case Kind::Power:
        fillPower(rng);
        break;
    case Kind::Flags:
        fillFlags(rng);
        break;
    case Kind::Fixed:
        break;
    }
    std::memcpy(out.data, payload, size_t(frame.length()));
    return out;
}

void BusNode::fillCounter(std::mt19937 &rng)
{
    payload[0] = counter++;
    putWord(1, uint16_t(second.step(rng) * 100));
}

void BusNode::fillEngine(std::mt19937 &rng)
{
    putWord(0, uint16_t(first.step(rng) * 4));   // quarter-rpm resolution
    payload[2] = uint8_t(second.step(rng) + 40); // coolant, offset by 40 degrees
    payload[3] = uint8_t(first.value / 65);      // load in percent, following the speed
    payload[7] = uint8_t((payload[7] & 0xF0) | (counter++ & 0x0F));
}

void BusNode::fillPower(std::mt19937 &rng)
{
    putWord(0, uint16_t(11500 + first.step(rng) / 2)); // millivolts of a charging system
    putWord(2, uint16_t(second.step(rng) * 10));       // current in tenths of an ampere
}

void BusNode::fillFlags(std::mt19937 &rng)
{
    if (chance(rng, 3))
        flagBits ^= uint8_t(1u << uniform(rng, 0, 7));
    payload[0] = flagBits;
    payload[1] = uint8_t(flagBits ^ 0x5A);
}

void BusNode::putWord(int index, uint16_t word)
{
    payload[index] = uint8_t(word >> 8);
    payload[index + 1] = uint8_t(word);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>

// The Tarvix module's serial protocol as both ends speak it. Between its 14-byte frame records the
// host sends three-byte messages "marker code marker"; the module answers each with a reply that
// starts with a reply marker, then the code, then text. Shared by the application and the
// simulator, so the two cannot drift apart.
namespace TarvixProtocol {

constexpr uint8_t CommandMarker = 0xE1;
constexpr uint8_t SpeedMarker = 0xF1;
constexpr int MessageSize = 3;

// First byte of the module's answer to a command and to a speed setting.
constexpr uint8_t CommandReply = 0xEF;
constexpr uint8_t SpeedReply = 0xF1;

// Byte 5 of a frame record (CanPacket::rtl): the remote request bit, above the length nibble.
constexpr uint8_t RemoteFlag = 0x10;

// Codes sent behind CommandMarker. The resistor codes carry the line in the low nibble (5 is
// CAN0, 6 is CAN1) and the action in the high one.
namespace Command {
constexpr uint8_t ModuleName = 0x01;
constexpr uint8_t ModuleVersion = 0x02;
constexpr uint8_t MonitorOn = 0x03;
constexpr uint8_t MonitorOff = 0x83;
constexpr uint8_t OldFormat = 0x04;
constexpr uint8_t Can0ResistorOn = 0x05;
constexpr uint8_t Can0ResistorQuery = 0x15;
constexpr uint8_t Can0ResistorOff = 0x85;
constexpr uint8_t Can1ResistorOn = 0x06;
constexpr uint8_t Can1ResistorQuery = 0x16;
constexpr uint8_t Can1ResistorOff = 0x86;
constexpr uint8_t SpeedQuery = 0x10;
constexpr uint8_t ProtocolQuery = 0x14;
} // namespace Command

// A CAN bit rate: the code sent behind SpeedMarker, its text (the module's and the selector's).
struct Speed
{
    int code;
    const char *text;
    int bitRate; // bit/s
};

// In the order they are offered. Codes number the rates from the fastest; the list starts at the
// common 125 kbit/s, which is also what a module runs at when switched on.
inline constexpr std::array<Speed, 9> Speeds = {{
    {4, "125 kbit/s", 125000},
    {3, "250 kbit/s", 250000},
    {2, "500 kbit/s", 500000},
    {1, "800 kbit/s", 800000},
    {0, "1 Mbit/s", 1000000},
    {5, "100 kbit/s", 100000},
    {6, "50 kbit/s", 50000},
    {7, "20 kbit/s", 20000},
    {8, "10 kbit/s", 10000},
}};
constexpr int DefaultSpeedCode = 4;

// The rate with `code`; nullptr when the module has none.
constexpr const Speed *speedOf(int code)
{
    for (const Speed &speed : Speeds) {
        if (speed.code == code)
            return &speed;
    }
    return nullptr;
}
static_assert(speedOf(DefaultSpeedCode) == &Speeds[0], "the default rate is offered first");

} // namespace TarvixProtocol

// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/pcapngwriter.h"

#include "formats/civiltime.h"
#include "formats/frameroute.h"
#include "formats/pcapnglayout.h"
#include "formats/socketcanframe.h"
#include "link/timedpacket.h"

#include <QCoreApplication>

namespace {

using namespace PcapngLayout;

// Around the frame: the block's header and body fields, its flags option, the end of its
// options and its trailer.
constexpr int PacketBlockFrame = BlockHeaderSize + EnhancedPacketBody + 8 + 4 + BlockTrailerSize;
constexpr int MaxPacketBlockSize = PacketBlockFrame + SocketCanFrame::FdSize;
constexpr uint32_t NoSnapLimit = 0;

struct InterfaceText
{
    const char *name;
    const char *description;
};

const InterfaceText Interfaces[] = {
    {"can0", "Tarvix USB-CAN, CAN0"},
    {"can1", "Tarvix USB-CAN, CAN1"},
    {"canrx", "Tarvix USB-CAN, received, line unknown"},
    {"cantx", "Quorvex, transmitted"},
};

void appendOption(QByteArray &out, uint16_t code, const QByteArray &value)
{
    char head[4];
    put16(head, code);
    put16(head + 2, uint16_t(value.size()));
    out.append(head, 4);
    out.append(value);
    out.append(padded(value.size()) - value.size(), '\0');
}

void appendWord(QByteArray &out, uint32_t value)
{
    char word[4];
    put32(word, value);
    out.append(word, 4);
}

// Type and both lengths around `body`, which ends with its options.
QByteArray block(uint32_t type, QByteArray body)
{
    appendOption(body, EndOfOptions, {});
    QByteArray out;
    const uint32_t total = uint32_t(BlockHeaderSize + body.size() + BlockTrailerSize);
    appendWord(out, type);
    appendWord(out, total);
    out.append(body);
    appendWord(out, total);
    return out;
}

QByteArray programName()
{
    const QString version = QCoreApplication::applicationVersion();
    return (version.isEmpty() ? QStringLiteral("Quorvex") : QStringLiteral("Quorvex ") + version)
        .toUtf8();
}

} // namespace

int PcapngWriter::interfaceOf(const TimedPacket &frame)
{
    const int channel = FrameRoute::channelNumber(frame.packet);
    if (channel != 3)
        return channel - 1;
    return FrameRoute::isTransmitted(frame.packet) ? 3 : 2;
}

bool PcapngWriter::write(const TimedPacket &frame)
{
    if (!ok())
        return false;
    if (!started)
        begin();
    const int interface = interfaceOf(frame);
    if (interfaceIds[interface] < 0)
        describeInterface(interface);
    const quint64 ns = quint64(CivilTime::multiply(qMax<qint64>(0, timeOf(frame)), 1000));
    const int frameSize = SocketCanFrame::sizeOf(frame.packet);
    const int blockSize = PacketBlockFrame + frameSize;
    char p[MaxPacketBlockSize];
    put32(p, EnhancedPacket);
    put32(p + 4, uint32_t(blockSize));
    put32(p + 8, uint32_t(interfaceIds[interface]));
    put32(p + 12, uint32_t(ns >> 32));
    put32(p + 16, uint32_t(ns));
    put32(p + 20, uint32_t(frameSize));
    put32(p + 24, uint32_t(frameSize));
    SocketCanFrame::encode(p + BlockHeaderSize + EnhancedPacketBody, frame.packet);
    char *options = p + BlockHeaderSize + EnhancedPacketBody + frameSize;
    put16(options, PacketFlags);
    put16(options + 2, 4);
    put32(options + 4, FrameRoute::isTransmitted(frame.packet) ? Outbound : Inbound);
    put32(options + 8, EndOfOptions);         // code and length 0
    put32(options + 12, uint32_t(blockSize)); // the trailer
    buffer().append(p, blockSize);
    return flushIfFull();
}

void PcapngWriter::begin()
{
    started = true;
    QByteArray body;
    appendWord(body, ByteOrderMagic);
    appendWord(body, 1);          // major version 1, minor 0
    appendWord(body, 0xFFFFFFFF); // section length not given
    appendWord(body, 0xFFFFFFFF);
    appendOption(body, ShbUserApplication, programName());
    appendOption(body, Comment, "CAN frames recorded with " + programName());
    buffer() += block(SectionHeader, body);
}

void PcapngWriter::describeInterface(int interface)
{
    interfaceIds[interface] = described++;
    QByteArray body;
    appendWord(body, LinkTypeSocketCan); // link type, reserved
    appendWord(body, NoSnapLimit);
    appendOption(body, IfName, Interfaces[interface].name);
    appendOption(body, IfDescription, Interfaces[interface].description);
    appendOption(body, IfTimeResolution, QByteArray(1, char(NanosecondResolution)));
    buffer() += block(InterfaceDescription, body);
}

bool PcapngWriter::finish()
{
    if (!started && ok())
        begin();
    return flushAll();
}

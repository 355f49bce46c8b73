// SPDX-License-Identifier: GPL-3.0-or-later
#include "transmit/transmitlist.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

const QString ListKey = QStringLiteral("SendPackets");

// The low 64 bits of the nearest integer, halves rounded up, as the variant conversion does.
// Beyond 64 bits that conversion has no defined result; 0 is taken there.
quint64 roundedBits(double value)
{
    const double rounded = std::floor(value + 0.5);
    if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0))
        return 0;
    return quint64(qint64(rounded));
}

bool isNumber(const QVariant &value)
{
    return value.userType() == QMetaType::Double || value.userType() == QMetaType::Float;
}

// Variant rules: a number gives its nearest integer, decimal text its integer, true 1,
// anything else 0. Signed and unsigned differ on text ("-1" is no unsigned number).
quint32 signedBits(const QVariantMap &map, const QString &key)
{
    const QVariant value = map.value(key, 0);
    return isNumber(value) ? quint32(roundedBits(value.toDouble())) : quint32(value.toInt());
}

quint32 unsignedBits(const QVariantMap &map, const QString &key)
{
    const QVariant value = map.value(key, 0);
    return isNumber(value) ? quint32(roundedBits(value.toDouble())) : value.toUInt();
}

// The data members of an entry: "data0".."data7", and an FD frame's bytes past the eighth up to
// its length (so what is read is what is written back).
int storedBytes(const CanPacket &packet)
{
    return qMax(int(CanPacket::MaxClassicBytes), packet.isFd() ? packet.dataLength() : 0);
}

} // namespace

namespace TransmitList {

QVariantMap packetToMap(const CanPacket &packet)
{
    QVariantMap map;
    map.insert(PacketKey::Frame, int(packet.frame));
    map.insert(PacketKey::Id, uint(packet.id));
    map.insert(PacketKey::Rtl, int(packet.rtl));
    for (int i = 0; i < storedBytes(packet); ++i)
        map.insert(PacketKey::data(i), int(packet.data[i]));
    map.insert(PacketKey::Delay, qint32(packet.delay));
    return map;
}

CanPacket packetFromMap(const QVariantMap &map)
{
    CanPacket packet;
    packet.frame = uint8_t(unsignedBits(map, PacketKey::Frame));
    packet.id = unsignedBits(map, PacketKey::Id);
    packet.rtl = uint8_t(signedBits(map, PacketKey::Rtl));
    for (int i = 0; i < storedBytes(packet); ++i)
        packet.data[i] = uint8_t(signedBits(map, PacketKey::data(i)));
    packet.delay = signedBits(map, PacketKey::Delay);
    return packet;
}

QList<CanPacket> parse(const QByteArray &json)
{
    const QJsonArray entries = QJsonDocument::fromJson(json).object().value(ListKey).toArray();
    QList<CanPacket> packets;
    packets.reserve(entries.size());
    for (const QJsonValue &entry : entries)
        packets.append(packetFromMap(entry.toObject().toVariantMap()));
    return packets;
}

QByteArray toJson(const QList<CanPacket> &packets)
{
    QJsonArray entries;
    for (const CanPacket &packet : packets)
        entries.append(QJsonObject::fromVariantMap(packetToMap(packet)));
    QJsonObject top;
    top.insert(ListKey, entries);
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

} // namespace TransmitList

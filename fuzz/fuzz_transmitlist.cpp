// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzzcheck.h"
#include "transmit/transmitlist.h"

#include <QJsonDocument>
#include <QVariantList>

#include <cmath>
#include <cstring>
#include <sanitizer/lsan_interface.h>

// The whole input is read as a transmit list file; the same bytes also drive the building of one
// entry map with values of every type a variant can bring in.
namespace {

class Reader
{
public:
    Reader(const uint8_t *data, size_t size) : at(data), left(size) {}

    bool atEnd() const { return left == 0; }

    uint8_t byte()
    {
        if (left == 0)
            return 0;
        --left;
        return *at++;
    }

    template<typename T> T raw()
    {
        T value{};
        const size_t n = std::min(sizeof value, left);
        std::memcpy(&value, at, n);
        at += n;
        left -= n;
        return value;
    }

    QByteArray bytes(size_t most)
    {
        const size_t n = std::min<size_t>(byte() % (most + 1), left);
        QByteArray out(reinterpret_cast<const char *>(at), int(n));
        at += n;
        left -= n;
        return out;
    }

private:
    const uint8_t *at;
    size_t left;
};

bool sameFields(const CanPacket &a, const CanPacket &b)
{
    return a.frame == b.frame && a.id == b.id && a.rtl == b.rtl &&
           std::memcmp(a.data, b.data, sizeof a.data) == 0 && a.delay == b.delay;
}

void checkRoundTrip(const QList<CanPacket> &packets)
{
    const QList<CanPacket> again = TransmitList::parse(TransmitList::toJson(packets));
    FUZZ_CHECK(again.size() == packets.size());
    for (int i = 0; i < packets.size(); ++i) {
        FUZZ_CHECK(sameFields(again[i], packets[i]));
        FUZZ_CHECK(again[i].direct == CanPacket::Received);
    }
}

QString keyFor(uint8_t selector)
{
    const int n = selector % 13;
    if (n < 8)
        return PacketKey::data(n);
    switch (n) {
    case 8:
        return PacketKey::Frame;
    case 9:
        return PacketKey::Id;
    case 10:
        return PacketKey::Rtl;
    case 11:
        return PacketKey::Delay;
    default:
        return QStringLiteral("colour");
    }
}

QVariant valueFor(Reader &in)
{
    switch (in.byte() % 12) {
    case 0:
        return in.raw<qint32>();
    case 1:
        return in.raw<quint32>();
    case 2:
        return in.raw<qint64>();
    case 3:
        return in.raw<quint64>();
    case 4:
        return in.raw<double>();
    case 5:
        return in.raw<float>();
    case 6:
        return bool(in.byte() & 1);
    case 7:
        return QString::fromLatin1(in.bytes(24));
    case 8:
        return in.bytes(24);
    case 9:
        return QVariantList{in.raw<qint32>()};
    case 10:
        return double(in.raw<qint64>()); // whole numbers, the common case in a file
    default:
        return QVariant();
    }
}

// Where the value is a whole number a double holds exactly, the field is its low bits.
void checkWholeNumbers(const QVariantMap &map, const CanPacket &packet)
{
    const auto expect = [&](const QString &key, quint32 field, quint32 mask) {
        const QVariant value = map.value(key);
        const int type = value.userType();
        if (type != QMetaType::Int && type != QMetaType::UInt && type != QMetaType::Double)
            return;
        const double number = value.toDouble();
        if (!std::isfinite(number) || std::floor(number) != number || std::fabs(number) > 1e15)
            return;
        FUZZ_CHECK(field == (quint32(quint64(qint64(number))) & mask));
    };
    expect(PacketKey::Frame, packet.frame, 0xFF);
    expect(PacketKey::Id, packet.id, 0xFFFFFFFF);
    expect(PacketKey::Rtl, packet.rtl, 0xFF);
    expect(PacketKey::Delay, packet.delay, 0xFFFFFFFF);
    for (int i = 0; i < 8; ++i)
        expect(PacketKey::data(i), packet.data[i], 0xFF);
}

void checkMap(Reader &in)
{
    QVariantMap map;
    while (!in.atEnd()) {
        const QString key = keyFor(in.byte());
        map.insert(key, valueFor(in));
    }
    const CanPacket packet = TransmitList::packetFromMap(map);
    FUZZ_CHECK(packet.direct == CanPacket::Received);
    checkWholeNumbers(map, packet);
    FUZZ_CHECK(sameFields(TransmitList::packetFromMap(TransmitList::packetToMap(packet)), packet));
    checkRoundTrip({packet});
}

// Qt 5.15's JSON parser loses a few bytes on some broken documents (a repeated key whose first
// value is a filled object, then an error). That leak is Qt's: what is allocated while reading
// text that is no JSON is not reported. Whole documents are still checked for leaks.
bool isJson(const QByteArray &text)
{
    __lsan::ScopedDisabler qtParser;
    QJsonParseError error;
    QJsonDocument::fromJson(text, &error);
    return error.error == QJsonParseError::NoError;
}

QList<CanPacket> parseFile(const QByteArray &text)
{
    if (isJson(text))
        return TransmitList::parse(text);
    __lsan::ScopedDisabler qtParser;
    return TransmitList::parse(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), int(size));
    checkRoundTrip(parseFile(text));
    Reader in(data, size);
    checkMap(in);
    return 0;
}

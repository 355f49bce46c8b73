// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/framequery.h"

#include "link/canpacket.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QtEndian>
#include <cstring>

namespace {

constexpr int BitsPerByte = 8;
constexpr int BitsPerDigit = 4;
constexpr int MaxIdDigits = 8;
constexpr int NoDigit = -1;
constexpr int AnyDigit = -2;

int digitValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u == '?' || u == 'x')
        return AnyDigit;
    return NoDigit;
}

bool hasHexPrefix(const QString &text)
{
    return text.size() > 2 && text.at(0) == QLatin1Char('0') &&
           (text.at(1) == QLatin1Char('x') || text.at(1) == QLatin1Char('X'));
}

bool parseId(const QString &input, bool *given, quint32 *id)
{
    QString text = input.trimmed();
    *given = !text.isEmpty();
    if (!*given)
        return true;
    if (hasHexPrefix(text))
        text.remove(0, 2);
    bool ok = false;
    *id = text.toUInt(&ok, 16);
    // toUInt also takes its own "0x" and signs; only plain digits are an identifier.
    for (const QChar c : text)
        ok = ok && digitValue(c) >= 0;
    return ok && text.size() <= MaxIdDigits;
}

// Appends a byte of pattern digits (AnyDigit for a wildcard); false when the pattern is full.
struct PatternBuilder
{
    quint64 value = 0;
    quint64 mask = 0;
    int bytes = 0;

    bool addByte(int high, int low)
    {
        if (bytes == FrameQuery::MaxPatternBytes)
            return false;
        const int shift = BitsPerByte * bytes;
        addDigit(high, shift + BitsPerDigit);
        addDigit(low, shift);
        ++bytes;
        return true;
    }
    void addDigit(int digit, int shift)
    {
        if (digit == AnyDigit)
            return;
        value |= quint64(digit) << shift;
        mask |= quint64(0xF) << shift;
    }
};

bool addToken(const QString &token, PatternBuilder &pattern)
{
    if (token.size() == 1 || (hasHexPrefix(token) && token.size() <= 4)) {
        const QString digits = token.size() == 1 ? token : token.mid(2);
        const int last = digitValue(digits.back());
        if (last == NoDigit)
            return false;
        if (digits.size() == 1) // one digit: "5" is 05, "?" any byte
            return pattern.addByte(last == AnyDigit ? AnyDigit : 0, last);
        const int first = digitValue(digits.front());
        return first != NoDigit && pattern.addByte(first, last);
    }
    if (token.size() % 2 != 0)
        return false;
    for (int i = 0; i < token.size(); i += 2) {
        const int high = digitValue(token.at(i));
        const int low = digitValue(token.at(i + 1));
        if (high == NoDigit || low == NoDigit || !pattern.addByte(high, low))
            return false;
    }
    return true;
}

bool parsePattern(const QString &text, PatternBuilder &pattern)
{
    const QStringList tokens = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &token : tokens) {
        if (!addToken(token, pattern))
            return false;
    }
    return true;
}

void setError(QString *error, const char *text)
{
    if (error)
        *error = QCoreApplication::translate("FrameQuery", text);
}

} // namespace

bool FrameQuery::parse(const QString &idText, const QString &dataText, QString *error)
{
    bool given = false;
    quint32 id = 0;
    if (!parseId(idText, &given, &id)) {
        setError(error, QT_TRANSLATE_NOOP("FrameQuery", "Неверный идентификатор"));
        return false;
    }
    PatternBuilder pattern;
    if (!parsePattern(dataText, pattern)) {
        setError(error, QT_TRANSLATE_NOOP("FrameQuery", "Неверный шаблон данных"));
        return false;
    }
    idGiven = given;
    wantedId = id;
    value = pattern.value;
    mask = pattern.mask;
    patternBytes = pattern.bytes;
    return true;
}

bool FrameQuery::matches(const CanPacket &packet) const
{
    if (idGiven && packet.id != wantedId)
        return false;
    if (patternBytes == 0)
        return true;
    if (packet.isFd())
        return occursIn(packet.data, packet.dataLength());
    const int length = packet.isRemote() ? 0 : qMin(packet.length(), MaxPatternBytes);
    const quint64 data = qFromLittleEndian<quint64>(packet.data);
    for (int pos = 0; pos + patternBytes <= length; ++pos) {
        if (((data >> (BitsPerByte * pos)) & mask) == value)
            return true;
    }
    return false;
}

// Loads up to eight bytes at each position: a pattern is never longer.
bool FrameQuery::occursIn(const quint8 *data, int length) const
{
    for (int pos = 0; pos + patternBytes <= length; ++pos) {
        quint8 window[MaxPatternBytes] = {};
        std::memcpy(window, data + pos, size_t(qMin(MaxPatternBytes, length - pos)));
        if ((qFromLittleEndian<quint64>(window) & mask) == value)
            return true;
    }
    return false;
}

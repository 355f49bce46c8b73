// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/diagtext.h"

namespace {

bool isPadding(char c)
{
    return c == 0 || c == ' ' || uchar(c) == 0xFF;
}

QByteArray trimmed(const QByteArray &bytes)
{
    int end = bytes.size();
    while (end > 0 && isPadding(bytes[end - 1]))
        --end;
    return bytes.left(end);
}

} // namespace

namespace DiagText {

QString hex(uint value, int digits)
{
    return QString::number(value, 16).toUpper().rightJustified(digits, '0');
}

QString hexBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex().toUpper());
}

QString bytesOrText(const QByteArray &bytes)
{
    const QByteArray text = trimmed(bytes);
    if (text.isEmpty())
        return hexBytes(bytes);
    for (const char c : text) {
        if (uchar(c) < 0x20 || uchar(c) > 0x7E)
            return hexBytes(bytes);
    }
    return '"' + QString::fromLatin1(text) + '"';
}

QString asciiText(const QByteArray &bytes)
{
    QString out;
    for (const char c : trimmed(bytes))
        out.append(uchar(c) >= 0x20 && uchar(c) <= 0x7E ? QChar(c) : QChar('.'));
    return out;
}

} // namespace DiagText

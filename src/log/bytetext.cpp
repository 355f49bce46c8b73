// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/bytetext.h"

#include "link/canpacket.h"
#include "log/candatamodel.h"

#include <QFontMetrics>

QString logByteText(uint byte, int format)
{
    switch (format) {
    case CanDataModel::Hex:
        return hexByteText(byte);
    case CanDataModel::Dec:
        return QString::number(byte);
    case CanDataModel::Char:
        return QString(QChar(byte));
    case CanDataModel::Bin:
        return QStringLiteral("0b") + QString::number(byte, 2).rightJustified(8, QLatin1Char('0'));
    default:
        return QString();
    }
}

QString logBytesText(const quint8 *bytes, int count, int format)
{
    QString text;
    if (logByteText(0, format).isEmpty())
        return text; // a format that shows no bytes
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += QLatin1Char(' ');
        text += logByteText(bytes[i], format);
    }
    return text;
}

// Digits differ in width in most fonts ("0xDD" is wider than "0xFF"): every text is measured.
QString widestLogByteText(int format, const QFontMetrics &metrics)
{
    QString widest;
    int widestAdvance = -1;
    for (uint byte = 0; byte < 256; ++byte) {
        const QString text = logByteText(byte, format);
        const int advance = metrics.horizontalAdvance(text);
        if (advance > widestAdvance) {
            widest = text;
            widestAdvance = advance;
        }
    }
    return widest;
}

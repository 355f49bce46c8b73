// SPDX-License-Identifier: GPL-3.0-or-later
#include "signals/dbctext.h"

#include <QByteArray>
#include <QTextCodec>

namespace {

const QTextCodec *windowsCodec()
{
    return QTextCodec::codecForName("windows-1252");
}

} // namespace

QString DbcText::decode(const QByteArray &bytes, Encoding *used)
{
    static const QByteArray bom("\xEF\xBB\xBF");
    const QByteArray body = bytes.startsWith(bom) ? bytes.mid(bom.size()) : bytes;
    QTextCodec::ConverterState state(QTextCodec::ConvertInvalidToNull);
    const QString utf8 =
        QTextCodec::codecForName("UTF-8")->toUnicode(body.constData(), body.size(), &state);
    const bool isUtf8 = state.invalidChars == 0 && state.remainingChars == 0;
    if (used)
        *used = isUtf8 ? Encoding::Utf8 : Encoding::Windows1252;
    if (isUtf8)
        return utf8;
    if (const QTextCodec *windows = windowsCodec())
        return windows->toUnicode(body);
    return QString::fromLatin1(body);
}

QByteArray DbcText::encode(const QString &text, Encoding wanted, Encoding *used)
{
    const QTextCodec *windows = windowsCodec();
    // Pure ASCII reads back the same in both; anything the code page lacks goes out as UTF-8.
    const bool codePage = wanted == Encoding::Windows1252 && windows && windows->canEncode(text);
    if (used)
        *used = codePage ? Encoding::Windows1252 : Encoding::Utf8;
    return codePage ? windows->fromUnicode(text) : text.toUtf8();
}

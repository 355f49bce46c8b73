// SPDX-License-Identifier: GPL-3.0-or-later
#include "signals/dbctokenizer.h"

#include <algorithm>

namespace {

bool isWordStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

bool isExponent(QChar c)
{
    return c == QLatin1Char('e') || c == QLatin1Char('E');
}

bool isSign(QChar c)
{
    return c == QLatin1Char('+') || c == QLatin1Char('-');
}

// A decimal number (with a point or an exponent) or "0x" and hex digits.
bool isNumber(const QStringRef &text)
{
    bool ok = false;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text.mid(2).toULongLong(&ok, 16);
    else
        text.toDouble(&ok);
    return ok;
}

} // namespace

void DbcTokenizer::skipBlanks()
{
    while (pos < source.size()) {
        const QChar c = source.at(pos);
        if (c == QLatin1Char('\n')) {
            ++line;
            lineStart = true;
        } else if (c == QLatin1Char('/') && at(pos + 1) == QLatin1Char('/')) {
            while (pos < source.size() && source.at(pos) != QLatin1Char('\n'))
                ++pos;
            continue;
        } else if (!c.isSpace()) {
            return;
        }
        ++pos;
    }
}

DbcTokenizer::Token DbcTokenizer::next()
{
    skipBlanks();
    Token token;
    token.begin = pos;
    token.line = line;
    token.startsLine = lineStart;
    lineStart = false;
    if (pos >= source.size())
        return token;
    const QChar c = source.at(pos);
    if (isWordStart(c))
        readWord(token);
    else if (c.isDigit() || (c == QLatin1Char('.') && at(pos + 1).isDigit()))
        readNumber(token);
    else if (c == QLatin1Char('"'))
        readString(token);
    else {
        token.type = Type::Punct;
        ++pos;
    }
    token.length = pos - token.begin;
    return token;
}

void DbcTokenizer::readWord(Token &token)
{
    token.type = Type::Word;
    while (pos < source.size() && isWordChar(source.at(pos)))
        ++pos;
}

void DbcTokenizer::readNumber(Token &token)
{
    // Digits, a point, hex digits after "0x", and an exponent with its sign.
    token.type = Type::Number;
    while (pos < source.size()) {
        const QChar c = source.at(pos);
        if (isSign(c) && isExponent(source.at(pos - 1)) && at(pos + 1).isDigit() &&
            !source.midRef(token.begin, 2).startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            ++pos;
        else if (isWordChar(c) || c == QLatin1Char('.'))
            ++pos;
        else
            break;
    }
    // Real files name messages and signals "2017_5" or "0_COUNTER": letters and digits that are
    // no number are a name.
    const QStringRef text = source.midRef(token.begin, pos - token.begin);
    if (!isNumber(text) && std::all_of(text.begin(), text.end(), isWordChar))
        token.type = Type::Word;
}

void DbcTokenizer::readString(Token &token)
{
    token.type = Type::String;
    ++pos;
    while (pos < source.size()) {
        const QChar c = source.at(pos++);
        if (c == QLatin1Char('"'))
            return;
        if (c == QLatin1Char('\\') && pos < source.size())
            ++pos;
        if (source.at(pos - 1) == QLatin1Char('\n'))
            ++line;
    }
    token.unterminated = true;
}

QString DbcTokenizer::stringValue(const Token &token) const
{
    const int end = token.begin + token.length - (token.unterminated ? 0 : 1);
    QString value;
    value.reserve(token.length);
    for (int i = token.begin + 1; i < end; ++i) {
        QChar c = source.at(i);
        if (c == QLatin1Char('\\') && i + 1 < end) {
            const QChar escaped = source.at(i + 1);
            if (escaped == QLatin1Char('"') || escaped == QLatin1Char('\\')) {
                c = escaped;
                ++i;
            }
        }
        value += c;
    }
    return value;
}

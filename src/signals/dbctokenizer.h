// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringRef>

// Splits DBC text into words (keywords and names), numbers, quoted strings and single
// punctuation characters. Signs are punctuation, so "3-5" reads as 3, '-', 5 and the reader
// decides where a sign belongs. A name may begin with a digit ("0_COUNTER"): what begins with a
// digit is a word unless it reads as a number. "//" starts a comment to the end of the line.
class DbcTokenizer final
{
public:
    enum class Type { End, Word, Number, String, Punct };
    struct Token
    {
        Type type = Type::End;
        int begin = 0;
        int length = 0;
        int line = 1;
        bool startsLine = false;   // first token on its line
        bool unterminated = false; // a string that runs to the end of the text
    };

    explicit DbcTokenizer(const QString &text) : source(text) {}
    Token next();
    QStringRef text(const Token &token) const { return source.midRef(token.begin, token.length); }
    // A string token's contents with \" and \\ unescaped.
    QString stringValue(const Token &token) const;

private:
    const QString &source;
    int pos = 0;
    int line = 1;
    bool lineStart = true;

    void skipBlanks();
    QChar at(int index) const { return index < source.size() ? source.at(index) : QChar(); }
    void readWord(Token &token);
    void readNumber(Token &token);
    void readString(Token &token);
};

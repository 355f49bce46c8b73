// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/transmit/hexspinbox.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include <limits>

namespace {
const QString Prefix = QStringLiteral("0x");

bool parseHex(const QString &text, uint &value)
{
    bool ok = false;
    value = text.toUInt(&ok, 16); // takes a leading "0x" too
    return ok;
}

// What the field may hold behind its prefix. toUInt alone also takes a sign or a second "0x",
// which the field would show but read as 0.
bool isHexDigits(const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f')))
            return false;
    }
    return true;
}
} // namespace

HexSpinBox::HexSpinBox(QWidget *parent, int bits) : QSpinBox(parent), bits(bits)
{
    setPrefix(Prefix);
    setDisplayIntegerBase(16);
    switch (bits) {
    case 8:
        setRange(0, 0xFF);
        break;
    case 16:
        setRange(0, 0xFFFF);
        break;
    case 32:
        setRange(0, 0x1FFFFFFF);
        break;
    default:
        setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
        break;
    }
}

QValidator::State HexSpinBox::validate(QString &input, int &pos) const
{
    QString copy = input;
    if (copy.startsWith(Prefix))
        copy.remove(0, Prefix.size());
    const int untrimmed = copy.size();
    copy = copy.trimmed();
    if (copy.isEmpty())
        return QValidator::Intermediate; // left as typed, cursor included
    input = Prefix + copy.toUpper();
    // Back by the blanks taken out; those after the cursor must not push it before the start.
    pos = qMax(0, pos + copy.size() - untrimmed);
    if (!isHexDigits(copy))
        return QValidator::Invalid;
    // Too big a number, however long, stands for the largest: read as it is, 0x80000000 and
    // above would wrap negative and end up as the minimum (identifier 0, the mask off).
    if (beyondMaximum(copy)) {
        input = Prefix + textFromValue(maximum());
        pos = qMin(pos, input.size());
        return QValidator::Acceptable;
    }
    uint value = 0;
    return parseHex(copy, value) ? QValidator::Acceptable : QValidator::Invalid;
}

int HexSpinBox::valueFromText(const QString &text) const
{
    QString digits = text.trimmed();
    if (digits.startsWith(Prefix))
        digits = digits.mid(Prefix.size()).trimmed();
    if (isHexDigits(digits) && beyondMaximum(digits))
        return maximum();
    uint value = 0;
    if (!parseHex(text, value))
        return 0;
    return int(value); // the kind of every width: 0x80000000 and above stand for negatives
}

// Only the kinds that start at 0 read their numbers unsigned against the maximum.
bool HexSpinBox::beyondMaximum(const QString &digits) const
{
    if (minimum() < 0 || digits.isEmpty())
        return false;
    uint value = 0;
    return !parseHex(digits, value) || value > uint(maximum());
}

QString HexSpinBox::textFromValue(int value) const
{
    return QString::number(uint(value), 16).toUpper();
}

QString HexSpinBox::widestText() const
{
    const QFontMetrics metrics = fontMetrics();
    QChar widest = QLatin1Char('0');
    for (const QChar digit : QStringLiteral("0123456789ABCDEF")) {
        if (metrics.horizontalAdvance(digit) > metrics.horizontalAdvance(widest))
            widest = digit;
    }
    const QString largest = textFromValue(maximum());
    QString text = largest;
    text.fill(widest);
    // A maximum led by 1 (0x1FFFFFFF) has that digit in front of every longest value.
    if (largest.size() > 1 && largest.front() == QLatin1Char('1'))
        text.front() = QLatin1Char('1');
    return Prefix + text;
}

// As QAbstractSpinBox sizes itself, with the blank and the cursor's room, for the widest text
// rather than the text of the maximum.
int HexSpinBox::widthFor(const QString &text) const
{
    ensurePolished();
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    const int cursorRoom = 2;
    const QSize content(fontMetrics().horizontalAdvance(text + QLatin1Char(' ')) + cursorRoom,
                        lineEdit()->sizeHint().height());
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, content, this).width();
}

QSize HexSpinBox::sizeHint() const
{
    QSize hint = QSpinBox::sizeHint();
    hint.setWidth(qMax(hint.width(), widthFor(widestText())));
    return hint;
}

QSize HexSpinBox::minimumSizeHint() const
{
    QSize hint = QSpinBox::minimumSizeHint();
    hint.setWidth(qMax(hint.width(), widthFor(widestText())));
    return hint;
}

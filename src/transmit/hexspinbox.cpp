#include "transmit/hexspinbox.h"

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
    uint value = 0;
    if (!isHexDigits(copy) || !parseHex(copy, value))
        return QValidator::Invalid;
    if (bits == 8)
        return value < 256 ? QValidator::Acceptable : QValidator::Invalid;
    if (bits == 16)
        return value > 0xFFFF ? QValidator::Invalid : QValidator::Acceptable;
    return QValidator::Acceptable;
}

int HexSpinBox::valueFromText(const QString &text) const
{
    uint value = 0;
    if (!parseHex(text, value))
        return 0;
    return int(value); // 0x80000000 and above come out negative; the range bounds them
}

QString HexSpinBox::textFromValue(int value) const
{
    return QString::number(uint(value), 16).toUpper();
}

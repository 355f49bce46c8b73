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
    pos += copy.size() - untrimmed;
    if (copy.isEmpty())
        return QValidator::Intermediate;
    input = Prefix + copy.toUpper();
    uint value = 0;
    if (!parseHex(copy, value))
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

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/transmit/hexspinbox.h"
#include "fuzzcheck.h"

#include <QApplication>

#include <cstdlib>

// Input: two bytes choose the cursor, the rest is the text typed or pasted, read both as UTF-8
// and as Latin-1.
namespace {

class ProbeSpinBox : public HexSpinBox
{
public:
    using HexSpinBox::HexSpinBox;
    using HexSpinBox::validate;
    using HexSpinBox::valueFromText;
};

QList<ProbeSpinBox *> boxes;

// What an accepted field reads as: upper-case hex digits behind "0x", at most 32 bits of them.
bool readShown(const QString &text, quint32 &value)
{
    if (!text.startsWith(QLatin1String("0x")) || text.size() == 2)
        return false;
    quint64 number = 0;
    for (int i = 2; i < text.size(); ++i) {
        const char c = text.at(i).toLatin1();
        const bool digit = c >= '0' && c <= '9';
        if (!digit && !(c >= 'A' && c <= 'F'))
            return false;
        number = number << 4 | quint64(digit ? c - '0' : c - 'A' + 10);
        if (number > 0xFFFFFFFFu)
            return false;
    }
    value = quint32(number);
    return true;
}

void check(const ProbeSpinBox &box, const QString &text, unsigned cursor)
{
    QString input = text;
    int pos = int(cursor % unsigned(text.size() + 1));
    const QValidator::State state = box.validate(input, pos);
    FUZZ_CHECK(pos >= 0 && pos <= input.size());
    const int value = box.valueFromText(input);
    if (state != QValidator::Acceptable)
        return;
    if (box.bitWidth() != 32)
        FUZZ_CHECK(value >= box.minimum() && value <= box.maximum());
    // The field takes the number it shows.
    quint32 shown = 0;
    FUZZ_CHECK(readShown(input, shown));
    FUZZ_CHECK(value == int(shown));
    // What was accepted stays as it is when the field checks it again.
    QString again = input;
    int againPos = pos;
    FUZZ_CHECK(box.validate(again, againPos) == QValidator::Acceptable);
    FUZZ_CHECK(again == input);
    FUZZ_CHECK(againPos >= 0 && againPos <= again.size());
}

} // namespace

// Fontconfig keeps its caches to the end of the process; that is no leak of ours.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Qt must not see the fuzzer's own arguments; the widgets need no screen.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "fuzz_hexspinbox";
    static char *argv[] = {name, nullptr};
    new QApplication(argc, argv);
    for (int bits : {8, 16, 32})
        boxes.append(new ProbeSpinBox(nullptr, bits));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const unsigned cursor = data[0] | unsigned(data[1]) << 8;
    const char *text = reinterpret_cast<const char *>(data + 2);
    const int length = int(size - 2);
    const QString forms[] = {QString::fromUtf8(text, length), QString::fromLatin1(text, length)};
    for (const ProbeSpinBox *box : qAsConst(boxes)) {
        for (const QString &form : forms)
            check(*box, form, cursor);
    }
    return 0;
}

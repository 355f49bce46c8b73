// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/transmit/hexspinbox.h"

#include <QApplication>
#include <QLineEdit>
#include <QtTest>

// Reaches the protected overrides the way the spin box itself calls them.
class ProbeSpinBox : public HexSpinBox
{
public:
    using HexSpinBox::HexSpinBox;
    using HexSpinBox::validate;
    using HexSpinBox::valueFromText;
};

class TestHexSpinBox : public QObject
{
    Q_OBJECT

private slots:
    void rangesAndDisplay();
    void typing_data();
    void typing();
    void blanksAndCursor();
    void cursorStaysInTheText_data();
    void cursorStaysInTheText();
    void typedBlanksThenDigits();
    void pasting_data();
    void pasting();
    void emptiedFieldIsCorrected();
    void thirtyTwoBitRangeIsTakenOnValue();
    void aboveTheMaximumIsTheMaximum_data();
    void aboveTheMaximumIsTheMaximum();
};

namespace {
QLineEdit *editOf(QAbstractSpinBox &box)
{
    return box.findChild<QLineEdit *>();
}

// Clears the field (prefix included) and types `keys` into it.
void typeInto(QAbstractSpinBox &box, const QString &keys)
{
    box.setFocus();
    editOf(box)->selectAll();
    QTest::keyClick(editOf(box), Qt::Key_Backspace);
    QTest::keyClicks(editOf(box), keys);
}
} // namespace

void TestHexSpinBox::rangesAndDisplay()
{
    const struct
    {
        int bits, minimum, maximum;
    } kinds[] = {{8, 0, 0xFF}, {16, 0, 0xFFFF}, {32, 0, 0x1FFFFFFF}, {7, INT_MIN, INT_MAX}};
    for (const auto &kind : kinds) {
        HexSpinBox box(nullptr, kind.bits);
        QCOMPARE(box.minimum(), kind.minimum);
        QCOMPARE(box.maximum(), kind.maximum);
        QCOMPARE(box.value(), 0);
        QCOMPARE(box.text(), QStringLiteral("0x0"));
        QCOMPARE(box.prefix(), QStringLiteral("0x"));
    }
    HexSpinBox id(nullptr, 32);
    id.setValue(291);
    QCOMPARE(id.text(), QStringLiteral("0x123"));
    id.setValue(0x1FFFFFFF);
    QCOMPARE(id.text(), QStringLiteral("0x1FFFFFFF"));
    HexSpinBox any(nullptr, 0);
    any.setValue(-1); // shown as the unsigned number it stands for
    QCOMPARE(any.text(), QStringLiteral("0xFFFFFFFF"));
}

void TestHexSpinBox::typing_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("value");
    QTest::newRow("8: ff becomes 0xFF") << 8 << "ff"
                                        << "0xFF" << 255;
    QTest::newRow("8: third digit rejected") << 8 << "ff0"
                                             << "0xFF" << 255;
    QTest::newRow("16: 0xFFFF") << 16 << "ffff"
                                << "0xFFFF" << 0xFFFF;
    QTest::newRow("16: 0x10000 caps at the maximum") << 16 << "10000"
                                                     << "0xFFFF" << 0xFFFF;
    QTest::newRow("8: G rejected") << 8 << "1g"
                                   << "0x1" << 1;
    QTest::newRow("16: minus rejected") << 16 << "-5"
                                        << "0x5" << 5;
    QTest::newRow("32: G rejected") << 32 << "aGb"
                                    << "0xAB" << 0xAB;
    QTest::newRow("32: typed prefix is one more digit") << 32 << "0x7ff"
                                                        << "0x07FF" << 0x7FF;
}

void TestHexSpinBox::typing()
{
    QFETCH(int, bits);
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(int, value);
    HexSpinBox box(nullptr, bits);
    box.show();
    typeInto(box, keys);
    QCOMPARE(box.text(), shown);
    box.interpretText();
    QCOMPARE(box.value(), value);
}

void TestHexSpinBox::blanksAndCursor()
{
    ProbeSpinBox box(nullptr, 16);
    QString input = QStringLiteral("0x  ab ");
    int pos = 6; // after "b"
    QCOMPARE(box.validate(input, pos), QValidator::Acceptable);
    QCOMPARE(input, QStringLiteral("0xAB"));
    QCOMPARE(pos, 3); // moved back by the three blanks

    QString bare = QStringLiteral("0x");
    pos = 2;
    QCOMPARE(box.validate(bare, pos), QValidator::Intermediate);
    QCOMPARE(bare, QStringLiteral("0x"));

    QCOMPARE(box.valueFromText(QStringLiteral("0xZZ")), 0);
    QCOMPARE(box.valueFromText(QStringLiteral("0x1F")), 0x1F);
}

void TestHexSpinBox::cursorStaysInTheText_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("pos");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("result");
    QTest::newRow("blanks after the cursor")
        << "0x1   " << 2 << int(QValidator::Acceptable) << "0x1";
    QTest::newRow("blank ahead of unprefixed junk")
        << " \x01" << 0 << int(QValidator::Invalid) << "0x\x01";
    QTest::newRow("only blanks behind the prefix")
        << "0x   " << 2 << int(QValidator::Intermediate) << "0x   ";
    QTest::newRow("only blanks") << "   " << 3 << int(QValidator::Intermediate) << "   ";
}

// The line edit takes the cursor back as it is: it must lie within the text.
void TestHexSpinBox::cursorStaysInTheText()
{
    QFETCH(QString, input);
    QFETCH(int, pos);
    QFETCH(QString, result);
    for (int bits : {8, 16, 32}) {
        ProbeSpinBox box(nullptr, bits);
        QString text = input;
        int cursor = pos;
        QTEST(int(box.validate(text, cursor)), "state");
        QCOMPARE(text, result);
        QVERIFY2(cursor >= 0 && cursor <= text.size(), qPrintable(QString::number(cursor)));
        if (text == input) // nothing taken out, nothing moved
            QCOMPARE(cursor, pos);
    }
}

// Blanks typed ahead of the digits are dropped; the digits keep their order.
void TestHexSpinBox::typedBlanksThenDigits()
{
    HexSpinBox box(nullptr, 16);
    box.show();
    typeInto(box, QStringLiteral("  1"));
    QTest::keyClicks(editOf(box), QStringLiteral("2"));
    QCOMPARE(box.text(), QStringLiteral("0x12"));
    box.interpretText();
    QCOMPARE(box.value(), 0x12);
}

void TestHexSpinBox::pasting_data()
{
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("value");
    QTest::newRow("prefixed number") << "0x1f"
                                     << "0x1F" << 0x1F;
    QTest::newRow("blanks around") << " 7ff "
                                   << "0x7FF" << 0x7FF;
    QTest::newRow("second prefix refused") << "0x0x5"
                                           << "0x42" << 0x42;
    QTest::newRow("sign refused") << "+5"
                                  << "0x42" << 0x42;
    QTest::newRow("sign behind the prefix refused") << "0x-1"
                                                    << "0x42" << 0x42;
}

// Whatever the field lets in, it reads as the number it shows.
void TestHexSpinBox::pasting()
{
    QFETCH(QString, pasted);
    HexSpinBox box(nullptr, 16);
    box.setValue(0x42);
    box.show();
    box.setFocus();
    editOf(box)->selectAll();
    editOf(box)->insert(pasted);
    QTEST(box.text(), "shown");
    box.interpretText();
    QTEST(box.value(), "value");
}

void TestHexSpinBox::emptiedFieldIsCorrected()
{
    HexSpinBox box(nullptr, 8);
    box.setValue(0x42);
    box.show();
    box.setFocus();
    editOf(box)->end(false);
    QTest::keyClick(editOf(box), Qt::Key_Backspace);
    QTest::keyClick(editOf(box), Qt::Key_Backspace);
    QCOMPARE(box.text(), QStringLiteral("0x"));
    QVERIFY(!box.hasAcceptableInput());
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason); // leaving puts back a valid value
    QApplication::sendEvent(&box, &leave);
    QVERIFY(box.hasAcceptableInput());
    QCOMPARE(box.text(), QStringLiteral("0x4")); // the last value the field held
}

void TestHexSpinBox::thirtyTwoBitRangeIsTakenOnValue()
{
    HexSpinBox box(nullptr, 32);
    box.show();
    typeInto(box, QStringLiteral("20000000"));
    QCOMPARE(box.text(), QStringLiteral("0x1FFFFFFF")); // capped while typing
    box.interpretText();
    QCOMPARE(box.value(), 0x1FFFFFFF);

    typeInto(box, QStringLiteral("ffffffff")); // would read negative, then as the minimum
    QCOMPARE(box.text(), QStringLiteral("0x1FFFFFFF"));
    box.interpretText();
    QCOMPARE(box.value(), 0x1FFFFFFF);
}

void TestHexSpinBox::aboveTheMaximumIsTheMaximum_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("maximum"); // 0: the kind's own
    QTest::addColumn<bool>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("8 typed") << 8 << 0 << true << "1ff" << 0xFF;
    QTest::newRow("8 pasted") << 8 << 0 << false << "100" << 0xFF;
    QTest::newRow("16 pasted") << 16 << 0 << false << "12345" << 0xFFFF;
    QTest::newRow("11-bit mask pasted") << 16 << 0x7FF << false << "800" << 0x7FF;
    QTest::newRow("29 pasted") << 32 << 0 << false << "FFFFFFFF" << 0x1FFFFFFF;
    QTest::newRow("29 overlong") << 32 << 0 << false << "123456789" << 0x1FFFFFFF;
    QTest::newRow("29 overlong typed") << 32 << 0 << true << "fffffffff" << 0x1FFFFFFF;
    QTest::newRow("11-bit id pasted") << 32 << 0x7FF << false << "FFFFFFFF" << 0x7FF;
    QTest::newRow("leading zeros are no excess") << 32 << 0 << false << "000000000012" << 0x12;
    QTest::newRow("any width wraps") << 0 << 0 << false << "ffffffff" << -1;
}

// Typed or pasted, a number beyond the maximum shows and reads as the maximum.
void TestHexSpinBox::aboveTheMaximumIsTheMaximum()
{
    QFETCH(int, bits);
    QFETCH(int, maximum);
    QFETCH(QString, text);
    QFETCH(int, value);
    QFETCH(bool, typed);
    HexSpinBox box(nullptr, bits);
    if (maximum)
        box.setMaximum(maximum);
    box.setValue(0x42);
    box.show();
    if (typed) {
        typeInto(box, text);
    } else {
        box.setFocus();
        editOf(box)->selectAll();
        editOf(box)->insert(text);
    }
    box.interpretText();
    QCOMPARE(box.value(), value);
    QCOMPARE(box.text(), QStringLiteral("0x") + QString::number(uint(value), 16).toUpper());

    ProbeSpinBox probe(nullptr, bits); // the text alone, as the spin box reads it
    if (maximum)
        probe.setMaximum(maximum);
    QCOMPARE(probe.valueFromText(QStringLiteral("0x") + text), value);
}

QTEST_MAIN(TestHexSpinBox)
#include "tst_hexspinbox.moc"

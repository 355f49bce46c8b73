// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSpinBox>

// A spin box that shows and takes its value in upper-case hexadecimal behind "0x". The width
// (8, 16 or 32 bits) sets the range; the 32-bit kind stops at the largest 29-bit identifier.
// A number above the maximum, typed or pasted, is taken as the maximum.
class HexSpinBox : public QSpinBox
{
    Q_OBJECT

public:
    explicit HexSpinBox(QWidget *parent = nullptr, int bits = 32);

    int bitWidth() const { return bits; }

    // The widest text up to the maximum in the font in use: the widest digit in every place.
    QString widestText() const;
    // Room for widestText(), so no value is shown cut.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    int valueFromText(const QString &text) const override;
    QString textFromValue(int value) const override;

private:
    bool beyondMaximum(const QString &digits) const;
    int widthFor(const QString &text) const;

    int bits;
};

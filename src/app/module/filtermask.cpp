// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/module/filtermask.h"
#include "ui_filtermask.h"

#include "app/transmit/hexspinbox.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>

namespace {
constexpr int BitCount = 29; // the widest identifier; both widths show every column
const char BitProperty[] = "Bit";

int columnOf(int bit)
{
    return BitCount - bit; // bit 28 leftmost, column 0 holds the row titles
}

int bitOf(const QObject *widget)
{
    return widget->property(BitProperty).toInt();
}
} // namespace

FilterMask::FilterMask(int idWidth, QWidget *parent)
    : QDialog(parent), ui(new Ui::FilterMask), idWidth(idWidth)
{
    ui->setupUi(this);
    setWindowTitle(tr("Установка битовой маски"));
    buildGrid();
    ui->hLay->addStretch();
    maskSpin = addSpin(QStringLiteral("maskSpin"), QStringLiteral("MASK: "));
    codeSpin = addSpin(QStringLiteral("codeSpin"), QStringLiteral(" CODE: "));
    ui->hLay->addStretch();
    connectEditors();
}

FilterMask::~FilterMask()
{
    delete ui;
}

void FilterMask::buildGrid()
{
    const QStringList titles = {QStringLiteral("BIT NUM:"), QStringLiteral("MASK"),
                                QStringLiteral("CODE"), QStringLiteral("RESULT")};
    for (int row = 0; row < titles.size(); ++row)
        ui->grLay->addWidget(new QLabel(titles.at(row), this), row, 0);
    for (int bit = BitCount - 1; bit >= 0; --bit)
        addBitColumn(bit);
}

void FilterMask::addBitColumn(int bit)
{
    ui->grLay->addWidget(new QLabel(QString::number(bit), this), 0, columnOf(bit));
    maskBoxes << addBitBox(QStringLiteral("mask%1"), bit, 1);
    codeBoxes << addBitBox(QStringLiteral("code%1"), bit, 2);
    auto *result = new QLabel(QStringLiteral("X"), this);
    result->setObjectName(QStringLiteral("result%1").arg(bit));
    result->setProperty(BitProperty, bit);
    result->setMaximumWidth(30);
    ui->grLay->addWidget(result, 3, columnOf(bit));
    resultLabels << result;
}

QCheckBox *FilterMask::addBitBox(const QString &name, int bit, int row)
{
    auto *box = new QCheckBox(this);
    box->setObjectName(name.arg(bit));
    box->setProperty(BitProperty, bit);
    box->setEnabled(bit < idWidth);
    ui->grLay->addWidget(box, row, columnOf(bit));
    return box;
}

// The 11-bit dialog gets the 16-bit kind: a standard identifier fits, with room to spare.
HexSpinBox *FilterMask::addSpin(const QString &name, const QString &caption)
{
    auto *spin = new HexSpinBox(this, idWidth <= 16 ? 16 : 32);
    spin->setObjectName(name);
    spin->setMinimumSize(150, 30);
    ui->hLay->addWidget(new QLabel(caption, this));
    ui->hLay->addWidget(spin);
    return spin;
}

void FilterMask::connectEditors()
{
    for (QCheckBox *box : qAsConst(maskBoxes))
        connect(box, &QCheckBox::stateChanged, this, &FilterMask::onSetMask);
    for (QCheckBox *box : qAsConst(codeBoxes))
        connect(box, &QCheckBox::stateChanged, this, &FilterMask::onSetCode);
    const auto valueChanged = QOverload<int>::of(&HexSpinBox::valueChanged);
    connect(maskSpin, valueChanged, this, &FilterMask::onValueMask);
    connect(codeSpin, valueChanged, this, &FilterMask::onValueCode);
}

void FilterMask::onValueMask(int value)
{
    mask = reduced(value);
    showBits(maskBoxes, mask);
    updateResult();
}

void FilterMask::onValueCode(int value)
{
    code = reduced(value);
    showBits(codeBoxes, code);
    updateResult();
}

void FilterMask::onSetMask(int state)
{
    changeBit(mask, state);
    maskSpin->setValue(int(mask));
    updateResult();
}

void FilterMask::onSetCode(int state)
{
    changeBit(code, state);
    codeSpin->setValue(int(code));
    updateResult();
}

void FilterMask::on_btOK_clicked()
{
    setResult(QDialog::Accepted);
    hide();
}

void FilterMask::on_btCancel_clicked()
{
    setResult(QDialog::Rejected);
    hide();
}

// Return finishes typing in a spin box; it must neither press a button nor close the dialog.
void FilterMask::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return;
    QDialog::keyPressEvent(event);
}

// A value wider than the spin box (a 29-bit pair seeded into the 11-bit dialog) would be clamped
// by the spin box, and the clamped value would come back as new bits. Keeping only what the spin
// box can show makes the value, the boxes, the spin box and every reported pair agree.
uint32_t FilterMask::reduced(int value) const
{
    return uint32_t(value) & uint32_t(maskSpin->maximum());
}

// Only a check box names a bit; called any other way the value stays as it is.
void FilterMask::changeBit(uint32_t &value, int state) const
{
    const auto *box = qobject_cast<const QCheckBox *>(sender());
    if (!box)
        return;
    const uint32_t bit = 1u << bitOf(box);
    value = state != 0 ? value | bit : value & ~bit;
}

// Disabled boxes follow too, so bits beyond the width stay visible.
void FilterMask::showBits(const QList<QCheckBox *> &boxes, uint32_t value)
{
    for (QCheckBox *box : boxes)
        box->setCheckState((value >> bitOf(box)) & 1u ? Qt::Checked : Qt::Unchecked);
}

// Reported before the labels change, so a listener sees the pair as it stands.
void FilterMask::updateResult()
{
    emit setMaskCode(mask, code);
    for (QLabel *label : qAsConst(resultLabels)) {
        const uint32_t bit = 1u << bitOf(label);
        const char *text = !(mask & bit) ? "X" : (code & bit) ? "1" : "0";
        label->setText(QLatin1String(text));
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QList>

#include <cstdint>

class HexSpinBox;
class QCheckBox;
class QKeyEvent;
class QLabel;

namespace Ui {
class FilterMask;
}

// Edits the identifier mask/code pair bit by bit or as two hexadecimal numbers. Every change is
// reported at once through setMaskCode, so the owner filters with the values being edited.
class FilterMask : public QDialog
{
    Q_OBJECT

public:
    explicit FilterMask(int idWidth, QWidget *parent = nullptr);
    ~FilterMask() override;

    uint32_t maskValue() const { return mask; }
    uint32_t codeValue() const { return code; }

signals:
    void setMaskCode(uint32_t mask, uint32_t code);

public slots:
    void onValueMask(int value);
    void onValueCode(int value);
    void onSetMask(int state);
    void onSetCode(int state);

private slots:
    void on_btOK_clicked();
    void on_btCancel_clicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildGrid();
    void addBitColumn(int bit);
    QCheckBox *addBitBox(const QString &name, int bit, int row);
    HexSpinBox *addSpin(const QString &name, const QString &caption);
    void connectEditors();
    uint32_t reduced(int value) const;
    void changeBit(uint32_t &value, int state) const;
    static void showBits(const QList<QCheckBox *> &boxes, uint32_t value);
    void updateResult();

    Ui::FilterMask *ui;
    int idWidth;
    uint32_t mask = 0;
    uint32_t code = 0;
    QList<QCheckBox *> maskBoxes; // bit 28 first, bit 0 last
    QList<QCheckBox *> codeBoxes;
    QList<QLabel *> resultLabels;
    HexSpinBox *maskSpin = nullptr;
    HexSpinBox *codeSpin = nullptr;
};

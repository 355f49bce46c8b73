// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/diagpairsdialog.h"

#include "diagnostics/diagpairtext.h"
#include "ui_diagpairsdialog.h"

#include <QComboBox>
#include <QStringList>

namespace {

enum Column { Request, Response, Addressing };

const char *const AddressingNames[] = {QT_TRANSLATE_NOOP("DiagPairsDialog", "нормальная"),
                                       QT_TRANSLATE_NOOP("DiagPairsDialog", "расширенная"),
                                       QT_TRANSLATE_NOOP("DiagPairsDialog", "смешанная")};
const char *const AddressingWords[] = {"", "/extended", "/mixed"};

int indexOf(IsoTpAddressing addressing)
{
    return addressing == IsoTpAddressing::Extended ? 1
           : addressing == IsoTpAddressing::Mixed  ? 2
                                                   : 0;
}

QString hexId(uint32_t id, bool extended)
{
    return QString::number(id, 16).toUpper().rightJustified(extended ? 8 : 3, '0');
}

} // namespace

DiagPairsDialog::DiagPairsDialog(QWidget *parent) : QDialog(parent), ui(new Ui::DiagPairsDialog)
{
    ui->setupUi(this);
}

DiagPairsDialog::~DiagPairsDialog()
{
    delete ui;
}

void DiagPairsDialog::addRow(const QString &request, const QString &response,
                             IsoTpAddressing addressing)
{
    const int row = ui->twPairs->rowCount();
    ui->twPairs->insertRow(row);
    ui->twPairs->setItem(row, Request, new QTableWidgetItem(request));
    ui->twPairs->setItem(row, Response, new QTableWidgetItem(response));
    auto *box = new QComboBox(ui->twPairs);
    for (int i = 0; i < 3; ++i)
        box->addItem(DiagPairsDialog::tr(AddressingNames[i]), i);
    box->setCurrentIndex(indexOf(addressing));
    ui->twPairs->setCellWidget(row, Addressing, box);
}

void DiagPairsDialog::setPairs(const QVector<DiagPair> &pairs)
{
    ui->twPairs->setRowCount(0);
    for (const DiagPair &pair : pairs)
        addRow(hexId(pair.requestId, pair.extended), hexId(pair.responseId, pair.extended),
               pair.addressing);
}

QVector<DiagPair> DiagPairsDialog::pairs() const
{
    QVector<DiagPair> out;
    for (int row = 0; row < ui->twPairs->rowCount(); ++row) {
        const auto *request = ui->twPairs->item(row, Request);
        const auto *response = ui->twPairs->item(row, Response);
        const auto *box = qobject_cast<QComboBox *>(ui->twPairs->cellWidget(row, Addressing));
        if (!request || !response || !box)
            continue;
        const QString text = request->text() + '/' + response->text() +
                             QLatin1String(AddressingWords[box->currentData().toInt()]);
        if (const auto pair = DiagPairText::fromText(text))
            out.append(*pair);
    }
    return out;
}

void DiagPairsDialog::on_btAdd_clicked()
{
    addRow(QStringLiteral("7E0"), QStringLiteral("7E8"), IsoTpAddressing::Normal);
    ui->twPairs->setCurrentCell(ui->twPairs->rowCount() - 1, Request);
}

void DiagPairsDialog::on_btRemove_clicked()
{
    const int row = ui->twPairs->currentRow();
    if (row >= 0)
        ui->twPairs->removeRow(row);
}

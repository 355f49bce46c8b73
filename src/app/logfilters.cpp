// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/logfilters.h"

#include "analysis/framefilter.h"
#include "app/module/filtermask.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>

LogFilters::LogFilters(const Widgets &widgets, FrameFilter *filter, bool showTx, QWidget *window)
    : QObject(window), ui(widgets), filter(filter), window(window)
{
    fill();
    connect(ui.direction, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] {
        this->filter->setDirection(ui.direction->currentData().toInt());
        emit changed();
    });
    connect(ui.idMode, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &LogFilters::onIdMode);
    connect(ui.editMask, &QAction::triggered, this, &LogFilters::editMask);
    connect(ui.showTx, &QCheckBox::stateChanged, this, &LogFilters::onShowTx);
    ui.showTx->setChecked(showTx);
    onShowTx(showTx ? Qt::Checked : Qt::Unchecked);
}

void LogFilters::fill()
{
    const auto fill = [](QComboBox *box, const QList<QPair<QString, int>> &items) {
        for (const auto &item : items)
            box->addItem(item.first, item.second);
    };
    fill(ui.idMode, {{tr("Все"), FrameFilter::AllIds},
                     {QStringLiteral("11 bits"), FrameFilter::StandardIds},
                     {QStringLiteral("Mask 11 bits"), FrameFilter::StandardMask},
                     {QStringLiteral("29 bits"), FrameFilter::ExtendedIds},
                     {QStringLiteral("Mask 29 bits"), FrameFilter::ExtendedMask}});
    fill(ui.direction, {{tr("Все"), FrameFilter::AllDirections},
                        {QStringLiteral("RX"), FrameFilter::ReceivedOnly},
                        {QStringLiteral("RX (CAN0->CAN1)"), FrameFilter::Can0ToCan1Only},
                        {QStringLiteral("RX (CAN1->CAN0)"), FrameFilter::Can1ToCan0Only}});
}

// The new mode applies from now on; a mask mode asks for its mask and code at once.
void LogFilters::onIdMode()
{
    filter->setIdMode(ui.idMode->currentData().toInt());
    if (FrameFilter::usesMask(filter->idModeCode()))
        editMask();
    emit changed();
}

void LogFilters::editMask()
{
    const int mode = ui.idMode->currentData().toInt();
    if (!FrameFilter::usesMask(mode)) {
        QMessageBox::warning(window, tr("Установка маски ID"),
                             tr("Выберите соответствующий фильтр!"));
        return;
    }
    auto *dialog = new FilterMask(mode == FrameFilter::StandardMask ? 11 : 29, window);
    dialog->onValueMask(int(filter->mask()));
    dialog->onValueCode(int(filter->code()));
    connect(dialog, &FilterMask::setMaskCode, this,
            [this](uint32_t mask, uint32_t code) { filter->setMask(mask, code); });
    if (dialog->exec() == QDialog::Accepted) {
        filter->setMask(dialog->maskValue(), dialog->codeValue());
        emit changed();
    }
    dialog->deleteLater();
}

void LogFilters::onShowTx(int state)
{
    const bool shown = state != Qt::Unchecked;
    ui.showTx->setText(shown ? tr("Отображать TX пакеты") : tr("TX пакеты игнорировать"));
    filter->setShowTx(shown);
    emit showTxChanged(shown);
    emit changed();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/logtimechoice.h"

#include "log/candatamodel.h"

#include <QComboBox>
#include <QTabWidget>

LogTimeChoice::LogTimeChoice(QComboBox *box, QTabWidget *tabs, CanDataModel *log, bool sinceFirst,
                             QObject *parent)
    : QObject(parent), box(box), log(log)
{
    putInCorner(tabs);
    box->addItem(tr("Время суток"), false);
    box->addItem(tr("От начала, с"), true);
    box->setToolTip(tr("Время строк журнала: время суток или секунды от первой строки"));
    box->setCurrentIndex(sinceFirst ? 1 : 0);
    log->setTimeForm(sinceFirst ? CanDataModel::TimeForm::SinceFirst
                                : CanDataModel::TimeForm::OfDay);
    connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] {
        const bool since = this->box->currentData().toBool();
        this->log->setTimeForm(since ? CanDataModel::TimeForm::SinceFirst
                                     : CanDataModel::TimeForm::OfDay);
        emit chosen(since);
    });
}

void LogTimeChoice::putInCorner(QTabWidget *tabs)
{
    QWidget *holder = box->parentWidget();
    QWidget *page = holder->parentWidget();
    while (page && tabs->indexOf(page) < 0)
        page = page->parentWidget();
    tabs->setCornerWidget(holder, Qt::TopRightCorner);
    const auto follow = [holder, tabs, page] { holder->setVisible(tabs->currentWidget() == page); };
    connect(tabs, &QTabWidget::currentChanged, holder, follow);
    follow();
}

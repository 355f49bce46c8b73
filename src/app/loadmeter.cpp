// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/loadmeter.h"

#include "analysis/busload.h"
#include "app/elidedlabel.h"
#include "link/timeofday.h"

#include <QComboBox>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <cmath>

LoadMeter::LoadMeter(QStatusBar *bar, BusLoad *load, QObject *parent)
    : QObject(parent), load(load), label(new ElidedLabel(ElidedLabel::FlowRank, bar)),
      timer(new QTimer(this))
{
    label->setObjectName(QStringLiteral("lbStatusLoad"));
    bar->addPermanentWidget(label);
    connect(timer, &QTimer::timeout, this, &LoadMeter::update);
    timer->start(UpdateMs);
    update();
}

void LoadMeter::followSpeed(QComboBox *speeds)
{
    const auto pick = [this, speeds] { setSpeedCode(speeds->currentData().toInt()); };
    connect(speeds, QOverload<int>::of(&QComboBox::currentIndexChanged), this, pick);
    pick();
}

void LoadMeter::setSpeedCode(int code)
{
    load->setBitRate(BusLoad::bitRateForSpeedCode(code));
    update();
}

QString LoadMeter::text(qint64 now) const
{
    const auto percent = [&](int direction) {
        return QString::number(std::lround(load->percent(direction, now)));
    };
    return tr("Нагрузка: CAN0->CAN1 %1% | CAN1->CAN0 %2%")
        .arg(percent(BusLoad::Can0ToCan1), percent(BusLoad::Can1ToCan0));
}

void LoadMeter::update()
{
    label->setText(text(TimeOfDay::nowUsec()));
}

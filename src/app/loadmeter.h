// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class BusLoad;
class QComboBox;
class QLabel;
class QStatusBar;
class QTimer;

// The bus load field of the status bar ("lbStatusLoad"): the load of each direction over the
// last second, against the CAN speed chosen in the speed selector, updated once a second.
class LoadMeter final : public QObject
{
    Q_OBJECT

public:
    static constexpr int UpdateMs = 1000;

    // Shows `load`, which the feed counts and which outlives the meter.
    LoadMeter(QStatusBar *bar, BusLoad *load, QObject *parent = nullptr);
    // Takes the bit rate from the selector's current code (BusLoad::bitRateForSpeedCode), now
    // and whenever the user picks another.
    void followSpeed(QComboBox *speeds);
    void setSpeedCode(int code);

    // "Нагрузка: CAN0->CAN1 N% | CAN1->CAN0 M%" at `now`.
    QString text(qint64 now) const;
    void update();

private:
    BusLoad *load;
    QLabel *label;
    QTimer *timer;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/windowstatus.h"

#include "app/elidedlabel.h"
#include "app/statusfields.h"
#include "capture/capturesession.h"
#include "capture/framefeed.h"

#include <QStatusBar>
#include <QTimer>

namespace {

ElidedLabel *field(const QString &text, const char *name, ElidedLabel::Rank rank, QStatusBar *bar)
{
    auto *label = new ElidedLabel(text, rank, bar);
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

WindowStatus::WindowStatus(QStatusBar *bar, const FrameFeed *feed, const CaptureSession *session,
                           QObject *parent)
    : QObject(parent), feed(feed), session(session)
{
    new StatusFields(bar); // before the fields, so it shares the bar among them
    main = field(tr("Старт программы"), "lbStatusMain", ElidedLabel::StateRank, bar);
    can = field(QStringLiteral("unkhown"), "lbStatusCan", ElidedLabel::StateRank, bar);
    port = field(QStringLiteral("unkhown"), "lbStatusPort", ElidedLabel::StateRank, bar);
    rate = field(QString(), "lbStatusRate", ElidedLabel::FlowRank, bar);
    bar->addWidget(new QLabel(tr("Статус: "), bar));
    bar->addWidget(main);
    bar->addWidget(new QLabel(QStringLiteral("| CAN: "), bar));
    bar->addWidget(can);
    bar->addWidget(new QLabel(QStringLiteral("| COM port:"), bar));
    bar->addWidget(port);
    bar->addPermanentWidget(rate);
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &WindowStatus::showRate);
    timer->start(RateMs);
    clock.start();
}

void WindowStatus::showMain(const QString &text)
{
    main->setText(text);
}

void WindowStatus::showCan(const QString &text)
{
    can->setText(text);
}

void WindowStatus::showPort(const QString &text)
{
    port->setText(text);
}

void WindowStatus::showRate()
{
    const double seconds = qMax<qint64>(1, clock.restart()) / 1000.0;
    const quint64 frames = feed->liveFrames();
    const quint64 perSecond = quint64((frames - framesAtTick) / seconds + 0.5);
    framesAtTick = frames;
    const quint64 lost = session->lostFrames();
    QString text = tr("Кадров/с: %1").arg(perSecond);
    if (lost > 0)
        text += tr(" | Потеряно кадров: %1").arg(lost);
    rate->setText(text);
    rate->setStyleSheet(lost > 0 ? QStringLiteral("color: #C62828;") : QString());
}

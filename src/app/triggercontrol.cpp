// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/triggercontrol.h"

#include "capture/capturesession.h"
#include "capture/triggerset.h"
#include "net/socketcandserver.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>

namespace {
const QString KeyTriggers = QStringLiteral("TRIGGERS");
const QString KeyServer = QStringLiteral("SOCKETCAND");
const QString KeyAllowSend = QStringLiteral("ALLOWSEND");
const QString KeyClients = QStringLiteral("SOCKETCANDCLIENTS");
const QString KeyOpenTimeout = QStringLiteral("SOCKETCANDTIMEOUT");
constexpr int MaxClients = 1000;
constexpr int MaxOpenTimeoutS = 86400;
constexpr int TickMs = 1000;

// "ADDR:PORT" or "PORT"; false when it is neither.
bool serverAddress(const QString &text, QHostAddress &address, quint16 &port)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    const uint number = text.mid(colon + 1).toUInt(&ok);
    address = QHostAddress::LocalHost;
    port = quint16(number);
    return ok && number > 0 && number <= 65535 &&
           (colon <= 0 || address.setAddress(text.left(colon)));
}
} // namespace

TriggerControl::TriggerControl(QStatusBar *bar, QMenu *menu, QSettings *settings,
                               CaptureSession *capture, QObject *parent)
    : QObject(parent), store(settings), session(capture), label(new QLabel(bar)),
      markButton(new QPushButton(tr("Отметить"), bar)), tick(new QTimer(this))
{
    label->setObjectName(QStringLiteral("lbStatusTriggers"));
    markButton->setObjectName(QStringLiteral("btMark"));
    bar->addPermanentWidget(markButton);
    bar->addPermanentWidget(label);
    QAction *edit = menu->addAction(tr("Триггеры и сервер ..."));
    edit->setObjectName(QStringLiteral("actionTriggers"));
    connect(edit, &QAction::triggered, this, &TriggerControl::onEdit);
    connect(markButton, &QPushButton::clicked, this, &TriggerControl::onMark);
    connect(tick, &QTimer::timeout, this, &TriggerControl::showState);
    tick->start(TickMs);
    TriggersDialog::Values stored;
    stored.triggers = store->value(KeyTriggers).toStringList();
    stored.server = store->value(KeyServer).toString();
    stored.allowSend = store->value(KeyAllowSend).toBool();
    stored.maxClients =
        std::clamp(store->value(KeyClients, stored.maxClients).toInt(), 1, MaxClients);
    stored.openTimeoutS =
        std::clamp(store->value(KeyOpenTimeout, stored.openTimeoutS).toInt(), 0, MaxOpenTimeoutS);
    apply(stored);
}

TriggerControl::~TriggerControl() = default;

void TriggerControl::apply(const TriggersDialog::Values &values)
{
    current = values;
    store->setValue(KeyTriggers, values.triggers);
    store->setValue(KeyServer, values.server);
    store->setValue(KeyAllowSend, values.allowSend);
    store->setValue(KeyClients, values.maxClients);
    store->setValue(KeyOpenTimeout, values.openTimeoutS);
    applyRules();
    session->closeServer();
    session->socketcand()->setMaxClients(values.maxClients);
    session->socketcand()->setOpenTimeoutMs(values.openTimeoutS * 1000);
    serverError.clear();
    QHostAddress address;
    quint16 port = 0;
    if (!values.server.isEmpty()) {
        if (!serverAddress(values.server, address, port))
            serverError = tr("адрес ") + values.server;
        else if (!session->listen(address, port, values.allowSend))
            serverError = session->errorString();
    }
    showState();
}

QVector<TriggerRule> TriggerControl::rules() const
{
    QVector<TriggerRule> rules;
    for (const QString &text : current.triggers) {
        TriggerRule rule;
        QString error;
        if (TriggerRule::parse(text, rule, error))
            rules.append(rule);
    }
    return rules;
}

void TriggerControl::applyRules()
{
    const QVector<TriggerRule> parsed = rules();
    session->setTriggers(parsed);
    markButton->setVisible(std::any_of(parsed.cbegin(), parsed.cend(), [](const TriggerRule &r) {
        return r.kind == TriggerRule::Kind::Manual;
    }));
}

void TriggerControl::onEdit()
{
    auto *dialog = new TriggersDialog(label->window());
    dialog->setValues(current);
    if (dialog->exec() == QDialog::Accepted)
        apply(dialog->values());
    dialog->deleteLater();
}

void TriggerControl::onMark()
{
    session->mark();
    showState();
}

void TriggerControl::showState()
{
    const TriggerSet *triggers = &session->triggerSet();
    const SocketcandServer *server = session->socketcand();
    QStringList parts;
    for (int i = 0; i < triggers->ruleCount(); ++i)
        parts << QStringLiteral("%1 %2").arg(triggers->rule(i).name).arg(triggers->fireCount(i));
    QString text =
        parts.isEmpty() ? QString() : tr("Триггеры: ") + parts.join(QStringLiteral(", "));
    if (!serverError.isEmpty())
        text += tr(" | socketcand: ошибка: ") + serverError;
    else if (server->isListening())
        text += tr(" | socketcand: %1, клиентов %2").arg(current.server).arg(server->clientCount());
    label->setText(text);
}

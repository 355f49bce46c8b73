// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/module/commandtab.h"

#include "app/exchangelisting.h"
#include "app/module/canconfig.h"
#include "app/module/commandlists.h"
#include "capture/capturesession.h"
#include "link/canpacket.h"
#include "link/modulecommand.h"

#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

CommandTab::CommandTab(const Widgets &widgets, CaptureSession *session, QWidget *window)
    : QObject(window), ui(widgets), session(session), window(window),
      exchange(new ExchangeListing(widgets.listing, this)), replyTimer(new QTimer(this))
{
    ModuleCommand::fillCommands(ui.commands);
    fillCanSpeeds(ui.speeds);
    ui.listing->setStyleSheet(QStringLiteral("color:rgb(160,160,160);background-color:black;"));
    ui.listing->addItem(QStringLiteral("Can USB list..."));
    connect(ui.setSpeed, &QPushButton::clicked, this, &CommandTab::setSpeed);
    connect(ui.sendCommand, &QPushButton::clicked, this, &CommandTab::sendChosen);
    connect(ui.commands, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        lastCommand = item;
        sendChosen();
    });
    replyTimer->setSingleShot(true);
    replyTimer->setInterval(40);
    connect(replyTimer, &QTimer::timeout, exchange, &ExchangeListing::refresh);
    connect(session, &CaptureSession::readyReply, this, &CommandTab::onReply);
}

void CommandTab::setSource(const QString &source)
{
    const bool module = source.isEmpty();
    const QString why =
        module ? QString() : tr("Только для модуля Tarvix: источник кадров — %1").arg(source);
    const QList<QWidget *> controls{ui.commands, ui.speeds, ui.setSpeed, ui.sendCommand};
    for (QWidget *control : controls) {
        control->setEnabled(module);
        control->setToolTip(why);
    }
    ui.configure->setEnabled(module);
    ui.configure->setToolTip(module ? ui.configure->text() : why);
}

void CommandTab::onReply(const QByteArray &reply)
{
    exchange->addReply(reply);
    if (!replyTimer->isActive())
        replyTimer->start();
}

// Without a connection the window is asked for one first, as the connect button would.
bool CommandTab::connection()
{
    if (!session->isConnected())
        emit connectRequested();
    return session->isConnected();
}

void CommandTab::setSpeed()
{
    connection();
    send(ModuleCommand::message(ModuleCommand::SpeedMarker, ui.speeds->currentData().toInt()));
}

void CommandTab::sendChosen()
{
    connection();
    if (!lastCommand) {
        QMessageBox::warning(window, tr("Отправка пакета"), tr("Не выбрана фукция!"));
        return;
    }
    const int code = lastCommand->data(Qt::UserRole).toInt();
    send(ModuleCommand::message(ModuleCommand::CommandMarker, code));
}

void CommandTab::send(const QByteArray &message)
{
    exchange->addWritten(QStringLiteral("[WR] ") + byteListText(message));
    const int written = session->sendCommand(message);
    if (written >= 0)
        emit status(tr("Запись буфера %1 байт").arg(written));
}

void CommandTab::configure()
{
    connection();
    auto *dialog = new CanConfig(window);
    connect(dialog, &CanConfig::sendBuffer, this, [this](const QByteArray &message) {
        const int written = session->sendCommand(message);
        if (written >= 0)
            emit status(tr("Запись буфера %1 байт").arg(written));
    });
    dialog->exec();
    dialog->deleteLater();
}

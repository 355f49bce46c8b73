// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class CaptureSession;
class ExchangeListing;
class QAction;
class QComboBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTimer;
class QWidget;

// The command tab: the module's commands and CAN bit rates, sent through the capture session,
// and the listing of what was written and what the module replied. With no connection, a
// command first asks for one (connectRequested).
class CommandTab final : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QListWidget *commands;    // "lwCommand"
        QComboBox *speeds;        // "cbCanSpeed"
        QPushButton *setSpeed;    // "btSetSpeed"
        QPushButton *sendCommand; // "btSendPacket"
        QListWidget *listing;     // "lwList"
        QAction *configure;       // "actionCanConfig"
    };

    CommandTab(const Widgets &widgets, CaptureSession *session, QWidget *window);

    ExchangeListing *listing() const { return exchange; }
    // The module dialog ("Настройка модуля"): its messages leave through the session too.
    void configure();
    // Connections read `source` (SourceAddress's text; empty: the module): only the module takes
    // commands, so for another source they are off and say why.
    void setSource(const QString &source);

signals:
    // There is no connection; the window makes one.
    void connectRequested();
    // What the last write did, for the "CAN" field of the status bar.
    void status(const QString &text);

private:
    void setSpeed();
    void sendChosen();
    void send(const QByteArray &message);
    bool connection();
    void onReply(const QByteArray &reply);

    Widgets ui;
    CaptureSession *session;
    QWidget *window;
    ExchangeListing *exchange;
    QTimer *replyTimer; // replies are shown together, a flood of them at a bounded rate
    QListWidgetItem *lastCommand = nullptr;
};

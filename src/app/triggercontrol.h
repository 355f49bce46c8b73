// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/triggersdialog.h"
#include "link/canpacket.h"

#include <QObject>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QSettings;
class QStatusBar;
class QTimer;
class SocketcandServer;
class TriggerSet;
struct TimedPacket;

// The window's triggers and socketcand server: a menu entry that edits them (kept under
// "TRIGGERS", "SOCKETCAND" and "ALLOWSEND"), the "Отметить" button, and their counts in the
// status bar.
class TriggerControl final : public QObject
{
    Q_OBJECT

public:
    TriggerControl(QStatusBar *bar, QMenu *menu, QSettings *store, QObject *parent = nullptr);
    ~TriggerControl() override;

    // A connection starts: trigger files go to `directory`.
    void begin(const QString &directory);
    void take(const TimedPacket &frame);
    void end();

    void apply(const TriggersDialog::Values &values);
    TriggersDialog::Values values() const { return current; }
    const TriggerSet &triggerSet() const { return *triggers; }
    SocketcandServer *socketcand() const { return server; }

signals:
    // A socketcand client asks to transmit a frame.
    void sendPacket(CanPacket packet);

private:
    void onEdit();
    void onMark();
    void onTick();
    void showState();
    void applyRules();

    QSettings *store;
    std::unique_ptr<TriggerSet> triggers;
    SocketcandServer *server;
    QLabel *label;
    QPushButton *markButton;
    QTimer *tick;
    TriggersDialog::Values current;
    QString directory;
    QString serverError;
    bool active = false;
};

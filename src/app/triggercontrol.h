// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/triggersdialog.h"
#include "capture/triggerrule.h"

#include <QObject>
#include <QVector>

class CaptureSession;
class QLabel;
class QMenu;
class QPushButton;
class QSettings;
class QStatusBar;
class QTimer;

// The window's triggers and socketcand server, run by the capture session: a menu entry that edits
// them (kept under "TRIGGERS", "SOCKETCAND", "ALLOWSEND", "SOCKETCANDCLIENTS" and
// "SOCKETCANDTIMEOUT"), the "Отметить" button, and their counts in the status bar.
class TriggerControl final : public QObject
{
    Q_OBJECT

public:
    // `session` must outlive this control.
    TriggerControl(QStatusBar *bar, QMenu *menu, QSettings *store, CaptureSession *session,
                   QObject *parent = nullptr);
    ~TriggerControl() override;

    void apply(const TriggersDialog::Values &values);
    TriggersDialog::Values values() const { return current; }
    // The stored rules that parse, as the session runs them.
    QVector<TriggerRule> rules() const;

private:
    void onEdit();
    void onMark();
    void showState();
    void applyRules();

    QSettings *store;
    CaptureSession *session;
    QLabel *label;
    QPushButton *markButton;
    QTimer *tick;
    TriggersDialog::Values current;
    QString serverError;
};

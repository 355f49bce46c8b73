// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"

#include <QDialog>
#include <QList>
#include <QPointer>

class QEventLoop;

namespace Ui {
class SendDialog;
}

// The transmit list: up to 32 editable frames, classic or CAN FD, sent in row order as often as
// the repeat count says, each followed by its own pause. Frames leave through `sendPacket`; the
// port is the caller's business.
class SendDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SendDialog(QWidget *parent = nullptr);
    ~SendDialog() override;

    void readPackets(const QString &path);
    void writePackets(const QString &path);

    // The list as last collected from the rows or read from a file.
    const QList<CanPacket> &packetList() const { return packets; }

    // Why the source cannot send CAN FD frames; empty (the default) when it can. Said above the
    // rows and on the FD boxes, which then only make FD rows classic.
    void setFdRefusal(const QString &why);

signals:
    void sendStatus(QString status);
    void sendPacket(CanPacket packet);

private slots:
    void onSetActive(int state);
    void on_btSend_clicked();
    void on_btStop_clicked();
    void on_btOK_clicked();
    void on_btCancel_clicked();
    void on_btOpen_clicked();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    static constexpr int RowCount = 32;

    void fitWidthToRows();
    void createRows();
    void createHeaders();
    void createRow(int index);
    void rowsToPackets();
    CanPacket rowToPacket(int index) const;
    void rowToFd(int index, int length, CanPacket &packet) const;
    void showFdState(int index);
    void packetsToRows();
    void packetToRow(const CanPacket &packet, int index);
    void switchRow(int index, bool on);
    void delayMsec(uint32_t ms);
    void setRunning(bool running);
    template<typename T> T *cell(int index, int column) const;
    static void sendPass(const QPointer<SendDialog> &dialog, QList<CanPacket> list);
    static bool mayGoOn(const QPointer<SendDialog> &dialog);

    Ui::SendDialog *ui;
    bool stopRequested = false;
    bool widthFitted = false;
    bool rowActive[RowCount] = {};
    QList<CanPacket> packets;
    QString fdRefusal;
    // Set when the dialog is closed or the application leaves during a run: the run ends at once.
    bool runAbandoned = false;
    QEventLoop *pauseLoop = nullptr;
};

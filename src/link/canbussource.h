// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/cansource.h"

#include <QPointer>
#include <QVector>
#include <vector>

class QCanBusDevice;
class QCanBusFrame;
class QTimer;

// A source over any Qt Serial Bus device: SocketCAN adapters, PEAK, SYS TEC, TinyCAN, Qt's
// virtualcan. Each open() makes a fresh device (a closed one may still be closing).
//
// Times: a frame keeps the time its device stamped on it (SocketCAN: the kernel's, when the frame
// came off the bus, however late the event loop reads it) while that stamp lies within
// MaxStampSkewUs of the host's clock; a plugin that counts from its own start gets the host's
// time of the read instead. Error frames are counted, not delivered. CAN FD frames are counted as
// lost until the frame type carries them.
//
// Listen-only: Qt has no setting for it, so here it means the source never transmits. A SocketCAN
// controller that must not even acknowledge frames is set so with "ip link set ... listen-only on".
class CanBusSource final : public CanSource
{
    Q_OBJECT

public:
    struct Options
    {
        QString plugin;        // "socketcan", "peakcan", "virtualcan", ...
        QString interfaceName; // "can0"; virtualcan also takes "tcp://host:port/can0"
        int bitrate = 0;       // bit/s; 0 leaves the interface as it is
        int dataBitrate = 0;   // CAN FD data phase, bit/s; 0: not set
        bool listenOnly = false;
    };

    // One interface a plugin offers.
    struct Interface
    {
        QString name;
        QString description;
        bool canFd = false;
    };

    static constexpr int OpenTimeoutMs = 5000;
    static constexpr qint64 MaxStampSkewUs = 3600LL * 1000000;

    explicit CanBusSource(const Options &options, QObject *parent = nullptr);
    ~CanBusSource() override;

    bool open() override;
    void close() override;
    bool isOpen() const override { return !device.isNull(); }
    bool canSend() const override;
    int send(const CanPacket &packet) override;
    QString fdRefusal() const override { return QString(); }
    quint64 lostFrames() const override { return lost; }
    QString description() const override;

    quint64 errorFrames() const { return errors; }

    // The plugins Qt found, and the interfaces one of them offers now (empty with `error` set when
    // the plugin cannot look).
    // To be called first thing in main(), before any thread runs. Qt's plugins stamp every frame
    // through the local time; with TZ unset, the C library checks the zone file's state on disk
    // at each such call, which cost more than half of a frame's whole way in. Pointing TZ at the
    // same zone file ends that. A zone the user set is kept.
    static void pinTimeZone();
    static QStringList plugins();
    static QVector<Interface> interfaces(const QString &plugin, QString *error = nullptr);

    // A received frame as a packet of the interface `blank` was made for (interfacePacket());
    // false for frames that are not delivered (error, invalid, CAN FD).
    static bool toPacket(const QCanBusFrame &frame, const CanPacket &blank, CanPacket *packet);
    // The frame to write; false (and `why`) when the device could not carry it.
    static bool toFrame(const CanPacket &packet, QCanBusFrame *frame, QString *why);
    // The time a frame is given: its stamp, or `hostNow` when the stamp is not of this clock.
    static qint64 frameTime(qint64 stampUs, qint64 hostNow);

private:
    void configure(QCanBusDevice *bus);
    void onFramesReceived();
    void onStateChanged(int state);
    void onErrorOccurred(int kind);
    void onOpenTimeout();
    void take(const QCanBusFrame &frame, qint64 hostNow);
    void fail(const QString &reason);
    void dropDevice();
    static void closeDevice(QCanBusDevice *bus);

    Options options;
    CanPacket blank;
    QPointer<QCanBusDevice> device;
    QTimer *openTimer;
    std::vector<QCanBusFrame> pending; // read from the device, delivered up to `next`
    size_t next = 0;
    bool opening = false; // within open(): a failure is its result, not a signal
    bool connected = false;
    quint64 lost = 0;
    quint64 errors = 0;
};

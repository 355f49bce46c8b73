// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/canbussource.h"

#include "formats/frameroute.h"
#include "link/timedpacket.h"
#include "link/timeofday.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QCanBusFrame>
#include <QFile>
#include <QTimer>
#include <QVariant>
#include <algorithm>

namespace {

constexpr qint64 UsPerSecond = 1000000;
// SocketCAN's controller error frames say in data byte 1 that the receive buffer overflowed.
constexpr int ControllerDetailByte = 1;
constexpr char RxOverflow = 0x01;

bool isOverflow(const QCanBusFrame &frame)
{
    const QByteArray detail = frame.payload();
    return (frame.error() & QCanBusFrame::ControllerError) &&
           detail.size() > ControllerDetailByte && (detail.at(ControllerDetailByte) & RxOverflow);
}

} // namespace

CanBusSource::CanBusSource(const Options &options, QObject *parent)
    : CanSource(parent), options(options), blank(interfacePacket(options.interfaceName)),
      openTimer(new QTimer(this))
{
    openTimer->setSingleShot(true);
    connect(openTimer, &QTimer::timeout, this, &CanBusSource::onOpenTimeout);
}

CanBusSource::~CanBusSource()
{
    dropDevice();
}

QStringList CanBusSource::plugins()
{
    return QCanBus::instance()->plugins();
}

QVector<CanBusSource::Interface> CanBusSource::interfaces(const QString &plugin, QString *error)
{
    QVector<Interface> found;
    for (const QCanBusDeviceInfo &info : QCanBus::instance()->availableDevices(plugin, error))
        found.append({info.name(), info.description(), info.hasFlexibleDataRate()});
    return found;
}

QString CanBusSource::description() const
{
    return options.plugin + QLatin1Char(' ') + options.interfaceName;
}

bool CanBusSource::open()
{
    close();
    QString why;
    QCanBusDevice *bus =
        QCanBus::instance()->createDevice(options.plugin, options.interfaceName, &why);
    if (!bus) {
        setErrorString(why.isEmpty() ? QStringLiteral("no such plugin: ") + options.plugin : why);
        return false;
    }
    bus->setParent(this);
    device = bus;
    configure(bus);
    connect(bus, &QCanBusDevice::framesReceived, this, &CanBusSource::onFramesReceived);
    connect(bus, &QCanBusDevice::stateChanged, this,
            [this](QCanBusDevice::CanBusDeviceState state) { onStateChanged(state); });
    connect(bus, &QCanBusDevice::errorOccurred, this,
            [this](QCanBusDevice::CanBusError kind) { onErrorOccurred(kind); });
    setErrorString(QString());
    opening = true;
    openTimer->start(OpenTimeoutMs);
    const bool started = bus->connectDevice();
    opening = false;
    if (started && device == bus)
        return true;
    if (errorString().isEmpty())
        setErrorString(bus->errorString());
    dropDevice();
    closeDevice(bus); // the failure may have come from within connectDevice()
    return false;
}

// Only what the user chose: a plugin may refuse a key it does not know.
void CanBusSource::configure(QCanBusDevice *bus)
{
    if (options.bitrate > 0)
        bus->setConfigurationParameter(QCanBusDevice::BitRateKey, options.bitrate);
    // A SocketCAN interface's bit rates are the system's (ip link); its socket takes FD frames
    // whatever they are. Adapters configured here run FD only with a data bit rate.
    const bool systemRates = options.plugin == QLatin1String("socketcan") ||
                             options.plugin == QLatin1String("virtualcan");
    if (options.dataBitrate > 0 || systemRates)
        bus->setConfigurationParameter(QCanBusDevice::CanFdKey, true);
    if (options.dataBitrate > 0)
        bus->setConfigurationParameter(QCanBusDevice::DataBitRateKey, options.dataBitrate);
    // Overruns come as controller error frames, and only when asked for.
    if (options.plugin == QLatin1String("socketcan"))
        bus->setConfigurationParameter(
            QCanBusDevice::ErrorFilterKey,
            QVariant::fromValue(QCanBusFrame::FrameErrors(QCanBusFrame::ControllerError)));
}

void CanBusSource::close()
{
    dropDevice();
}

void CanBusSource::dropDevice()
{
    openTimer->stop();
    connected = false;
    pending.clear();
    next = 0;
    QCanBusDevice *bus = device;
    device = nullptr;
    if (!bus)
        return;
    bus->disconnect(this);
    if (!opening) // not from within the device's own connectDevice()
        closeDevice(bus);
    bus->deleteLater();
}

void CanBusSource::closeDevice(QCanBusDevice *bus)
{
    if (bus->state() == QCanBusDevice::ConnectedState ||
        bus->state() == QCanBusDevice::ConnectingState)
        bus->disconnectDevice();
}

bool CanBusSource::canSend() const
{
    return connected && !options.listenOnly;
}

int CanBusSource::send(const CanPacket &packet)
{
    if (!canSend()) {
        setErrorString(options.listenOnly ? QStringLiteral("listen-only: nothing is sent")
                                          : QStringLiteral("not connected"));
        return -1;
    }
    QCanBusFrame frame;
    QString why;
    if (!toFrame(packet, &frame, &why)) {
        setErrorString(why);
        return -1;
    }
    if (device->writeFrame(frame)) // the identifier's four bytes and the data
        return 4 + int(frame.payload().size());
    const QString said = device->errorString();
    setErrorString(said.isEmpty() ? QStringLiteral("the device did not take the frame") : said);
    return -1;
}

bool CanBusSource::toFrame(const CanPacket &packet, QCanBusFrame *frame, QString *why)
{
    if (!FrameRoute::validId(packet.id, packet.isExtended())) {
        *why = QStringLiteral("identifier out of range: 0x") + QString::number(packet.id, 16);
        return false;
    }
    if (packet.isFd() && packet.isRemote()) {
        *why = QStringLiteral("CAN FD has no remote frames");
        return false;
    }
    const int length = packet.dataLength();
    frame->setFrameType(packet.isRemote() ? QCanBusFrame::RemoteRequestFrame
                                          : QCanBusFrame::DataFrame);
    frame->setFlexibleDataRateFormat(packet.isFd());
    frame->setBitrateSwitch(packet.frame & CanPacket::BitRateSwitch);
    frame->setErrorStateIndicator(packet.frame & CanPacket::ErrorState);
    frame->setExtendedFrameFormat(packet.isExtended());
    frame->setFrameId(packet.id);
    frame->setPayload(packet.isRemote()
                          ? QByteArray(length, '\0')
                          : QByteArray(reinterpret_cast<const char *>(packet.data), length));
    return true;
}

bool CanBusSource::toPacket(const QCanBusFrame &frame, const CanPacket &blank, CanPacket *packet)
{
    const QCanBusFrame::FrameType type = frame.frameType();
    const bool remote = type == QCanBusFrame::RemoteRequestFrame;
    const QByteArray payload = frame.payload();
    const bool fd = frame.hasFlexibleDataRateFormat();
    if ((type != QCanBusFrame::DataFrame && !remote) || (fd && remote) ||
        payload.size() > (fd ? CanPacket::MaxFdBytes : CanPacket::MaxClassicBytes))
        return false;
    *packet = blank;
    packet->id = frame.frameId();
    if (frame.hasExtendedFrameFormat())
        packet->frame |= CanPacket::Extended;
    // An FD frame's length is its code (setFdLength): 16 bytes and more would spill into the
    // remote bits.
    packet->rtl = uint8_t((remote ? FrameRoute::RemoteFlag : 0) | (fd ? 0 : payload.size()));
    if (fd) {
        packet->setFdLength(int(payload.size())); // a length between FD lengths is padded
        packet->frame |= (frame.hasBitrateSwitch() ? CanPacket::BitRateSwitch : 0) |
                         (frame.hasErrorStateIndicator() ? CanPacket::ErrorState : 0);
    }
    if (!remote)
        std::copy(payload.cbegin(), payload.cend(), packet->data);
    if (frame.hasLocalEcho())
        packet->direct = CanPacket::Transmitted;
    return true;
}

qint64 CanBusSource::frameTime(qint64 stampUs, qint64 hostNow)
{
    const bool sameClock = stampUs > 0 && qAbs(stampUs - hostNow) <= MaxStampSkewUs;
    return sameClock ? stampUs : hostNow;
}

void CanBusSource::pinTimeZone()
{
    if (qEnvironmentVariableIsEmpty("TZ") && QFile::exists(QStringLiteral("/etc/localtime")))
        qputenv("TZ", ":/etc/localtime");
}

// Frames wait in `pending`: a receiver that runs an event loop gets the next ones through a nested
// call, which goes on where this one stands, so the order holds.
void CanBusSource::onFramesReceived()
{
    QCanBusDevice *bus = device;
    if (!bus)
        return;
    const QVector<QCanBusFrame> frames = bus->readAllFrames();
    pending.insert(pending.end(), frames.cbegin(), frames.cend());
    const qint64 now = TimeOfDay::nowUsec();
    const QPointer<CanBusSource> alive(this);
    while (next < pending.size()) {
        const QCanBusFrame frame = pending[next++];
        take(frame, now);
        if (!alive || device != bus)
            return;
    }
    pending.clear();
    next = 0;
}

void CanBusSource::take(const QCanBusFrame &frame, qint64 hostNow)
{
    if (frame.frameType() == QCanBusFrame::ErrorFrame) {
        ++errors;
        lost += isOverflow(frame) ? 1 : 0;
        return;
    }
    TimedPacket timed;
    if (!toPacket(frame, blank, &timed.packet)) {
        ++lost;
        return;
    }
    const QCanBusFrame::TimeStamp stamp = frame.timeStamp();
    timed.time = frameTime(stamp.seconds() * UsPerSecond + stamp.microSeconds(), hostNow);
    emit readyFrame(timed);
}

void CanBusSource::onStateChanged(int state)
{
    if (state == QCanBusDevice::ConnectedState && !connected) {
        connected = true;
        openTimer->stop();
        emit opened();
    } else if (state == QCanBusDevice::UnconnectedState) {
        const QString said = device ? device->errorString() : QString();
        fail(said.isEmpty() ? QStringLiteral("the device disconnected") : said);
    }
}

// Read and connection errors end the source; others (a frame the device would not write, a
// setting it refused after connecting) are only noted.
void CanBusSource::onErrorOccurred(int kind)
{
    const QString said = device ? device->errorString() : QString();
    setErrorString(said);
    const bool fatal = kind == QCanBusDevice::ReadError || kind == QCanBusDevice::ConnectionError ||
                       (kind == QCanBusDevice::ConfigurationError && !connected);
    if (fatal)
        fail(said);
}

void CanBusSource::onOpenTimeout()
{
    if (device && !connected)
        fail(QStringLiteral("the device did not connect within ") +
             QString::number(OpenTimeoutMs / 1000) + QStringLiteral(" s"));
}

// Said once: the device is dropped first, so its later signals find nobody.
void CanBusSource::fail(const QString &reason)
{
    if (!device)
        return;
    dropDevice();
    setErrorString(reason);
    if (!opening)
        emit failed(reason);
}

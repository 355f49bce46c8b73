// SPDX-License-Identifier: GPL-3.0-or-later
// virtualcan-bus URL: a Qt virtualcan bus in a process of its own, for tests and benchmarks. The
// first virtualcan device a process opens serves the bus, so a bus that must be able to go away
// lives here. Prints "ready" once its device is connected; "send N" on standard input sends N
// numbered frames (frame n: identifier n % 0x800, data n as 8 bytes little-endian) and prints
// "sent N"; "sendfd N" sends N numbered CAN FD frames of 64 bytes with the bit rate switched
// (n in the first 8 bytes, then bytes 8..63 of value 8..63); the end of the input ends it.

#include <QCanBus>
#include <QCanBusDevice>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTimer>
#include <QtEndian>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int Batch = 500; // frames written before the event loop runs again
constexpr uint32_t StandardIds = 0x800;

class Sender
{
public:
    explicit Sender(QCanBusDevice *device) : device(device) {}

    void start(qint64 frames, bool flexible)
    {
        fd = flexible;
        total = frames;
        sent = 0;
        QTimer::singleShot(0, [this] { step(); });
    }

private:
    void step()
    {
        for (int i = 0; i < Batch && sent < total; ++i, ++sent) {
            device->writeFrame(frame(sent));
        }
        if (sent < total) {
            QTimer::singleShot(0, [this] { step(); });
            return;
        }
        std::printf("sent %lld\n", static_cast<long long>(total));
        std::fflush(stdout);
    }

    QCanBusFrame frame(qint64 n) const
    {
        QByteArray data(fd ? 64 : 8, '\0');
        qToLittleEndian<quint64>(quint64(n), data.data());
        for (int i = 8; i < data.size(); ++i)
            data[i] = char(i);
        QCanBusFrame out(uint32_t(n % StandardIds), data);
        out.setFlexibleDataRateFormat(fd);
        out.setBitrateSwitch(fd);
        return out;
    }

    QCanBusDevice *device;
    bool fd = false;
    qint64 total = 0;
    qint64 sent = 0;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("TZ")) // frames are stamped through the local time
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus.plugins.virtualcan.info=false"));
    if (argc != 2) {
        std::fprintf(stderr, "usage: virtualcan-bus tcp://127.0.0.1:PORT/can0\n");
        return 2;
    }
    QString error;
    QCanBusDevice *device = QCanBus::instance()->createDevice(
        QStringLiteral("virtualcan"), QString::fromLocal8Bit(argv[1]), &error);
    if (!device) {
        std::fprintf(stderr, "virtualcan-bus: %s\n", qPrintable(error));
        return 1;
    }
    device->setConfigurationParameter(QCanBusDevice::CanFdKey, true);
    QObject::connect(device, &QCanBusDevice::stateChanged, [](QCanBusDevice::CanBusDeviceState s) {
        if (s == QCanBusDevice::ConnectedState) {
            std::printf("ready\n");
            std::fflush(stdout);
        }
    });
    if (!device->connectDevice()) {
        std::fprintf(stderr, "virtualcan-bus: %s\n", qPrintable(device->errorString()));
        return 1;
    }
    Sender sender(device);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char line[64];
        const ssize_t n = ::read(STDIN_FILENO, line, sizeof line - 1);
        if (n <= 0) {
            app.quit();
            return;
        }
        line[n] = '\0';
        long long frames = 0;
        if (std::sscanf(line, "send %lld", &frames) == 1)
            sender.start(frames, false);
        else if (std::sscanf(line, "sendfd %lld", &frames) == 1)
            sender.start(frames, true);
    });
    return app.exec();
}

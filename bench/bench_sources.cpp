// SPDX-License-Identifier: GPL-3.0-or-later
// Frames through the live sources other than the module, each fed by another process so that
// the CPU figure is the receiving side's alone:
// - CanBusSource on Qt's virtualcan bus, the virtualcan-bus helper sending as fast as it can;
// - SocketcandSource from our SocketcandServer (this program again, with --serve), publishing at
//   --rate frames per second.
// Prints one figure a line; frames carry their number, so a lost or reordered frame shows.
//
//   bench_sources [--frames N] [--rate R]

#include "cputime.h"
#include "link/canbussource.h"
#include "link/timedpacket.h"
#include "net/socketcandserver.h"
#include "net/socketcandsource.h"
#include "virtualbusprocess.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTimer>
#include <QtEndian>
#include <cstdio>

namespace {

constexpr uint32_t StandardIds = 0x800;
constexpr int IdleQuitMs = 2000; // nothing more for this long: the run is over
constexpr int MaxIdleTurns = 30;
constexpr int ClientSettleMs = 1000; // nothing at all for this many: it never started

QByteArray loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readLine().trimmed() : QByteArray("?");
}

// Counts what a source delivers: frame n carries n in its data, little-endian.
class Tally
{
public:
    Tally(CanSource *source, qint64 expected) : expected(expected)
    {
        QObject::connect(source, &CanSource::readyFrame,
                         [this](const TimedPacket &frame) { take(frame.packet); });
        QObject::connect(source, &CanSource::failed, [this](const QString &reason) {
            std::fprintf(stderr, "bench_sources: source failed: %s\n", qPrintable(reason));
            finish();
        });
        QObject::connect(&idle, &QTimer::timeout, [this] {
            if (received == lastCount && (received > 0 || ++idleTurns > MaxIdleTurns))
                finish(); // the idle turns before cost next to nothing
            lastCount = received;
        });
        idle.start(IdleQuitMs);
    }
    void print(const char *name) const
    {
        const double seconds = lastNs / 1e9;
        std::printf("%s frames received %lld\n", name, static_cast<long long>(received));
        std::printf("%s frames lost %lld\n", name, static_cast<long long>(expected - inOrder));
        std::printf("%s frames per second %.0f\n", name, seconds > 0 ? received / seconds : 0.0);
        std::printf("%s cpu us per frame %.2f\n", name,
                    received > 0 ? (cpuEnd - cpuStart) * 1e6 / double(received) : 0.0);
    }
    bool complete() const { return inOrder == expected && received == expected; }

private:
    void finish()
    {
        idle.stop();
        cpuEnd = cpuSeconds();
        QCoreApplication::quit();
    }
    void take(const CanPacket &packet)
    {
        if (received++ == 0) {
            clock.start();
            cpuStart = cpuSeconds();
        }
        const qint64 n = qint64(qFromLittleEndian<quint64>(packet.data));
        inOrder += (n == next && packet.id == uint32_t(n % StandardIds)) ? 1 : 0;
        next = n + 1;
        lastNs = clock.nsecsElapsed();
    }

    qint64 expected;
    qint64 received = 0;
    qint64 inOrder = 0;
    qint64 next = 0;
    qint64 lastCount = -1;
    int idleTurns = 0;
    qint64 lastNs = 0;
    double cpuStart = 0;
    double cpuEnd = 0;
    QElapsedTimer clock;
    QTimer idle;
};

int runCanBus(QCoreApplication &app, qint64 frames)
{
    VirtualBusProcess bus(QStringLiteral(VIRTUALCAN_BUS_PATH));
    if (!bus.start()) {
        std::fprintf(stderr, "bench_sources: the virtualcan bus did not start\n");
        return 1;
    }
    CanBusSource::Options options;
    options.plugin = QStringLiteral("virtualcan");
    options.interfaceName = bus.url(QStringLiteral("can0"));
    CanBusSource source(options);
    Tally tally(&source, frames);
    QObject::connect(&source, &CanSource::opened, [&] { bus.send(frames); });
    if (!source.open()) {
        std::fprintf(stderr, "bench_sources: %s\n", qPrintable(source.errorString()));
        return 1;
    }
    app.exec();
    tally.print("virtualcan");
    return tally.complete() ? 0 : 2;
}

int runSocketcand(QCoreApplication &app, qint64 frames, int rate)
{
    const quint16 port = VirtualBusProcess::freePort();
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedChannels);
    server.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--serve"), QString::number(port), QStringLiteral("--frames"),
                  QString::number(frames), QStringLiteral("--rate"), QString::number(rate)});
    SocketcandSource source(QStringLiteral("127.0.0.1"), port, QStringLiteral("can0"));
    Tally tally(&source, frames);
    QTimer retry; // until the server listens
    QObject::connect(&retry, &QTimer::timeout, [&] {
        if (!source.isOpen())
            source.open();
    });
    QObject::connect(&source, &CanSource::opened, &retry, &QTimer::stop);
    retry.start(100);
    app.exec();
    server.waitForFinished(60000);
    tally.print("socketcand");
    return tally.complete() ? 0 : 2;
}

// The server side: waits for a client, then publishes the numbered frames at `rate` per second.
int serve(QCoreApplication &app, quint16 port, qint64 frames, int rate)
{
    SocketcandServer server;
    if (!server.listen(QHostAddress::LocalHost, port))
        return 1;
    qint64 published = 0;
    QElapsedTimer seen; // since the client came: frames start once it is in raw mode
    QElapsedTimer clock;
    QTimer pacer;
    QObject::connect(&pacer, &QTimer::timeout, [&] {
        if (!clock.isValid()) {
            if (server.clientCount() == 0)
                return;
            if (!seen.isValid())
                seen.start();
            if (seen.elapsed() < ClientSettleMs)
                return;
            clock.start();
        }
        const qint64 due = std::min(frames, qint64(double(clock.nsecsElapsed()) * rate / 1e9));
        for (; published < due; ++published) {
            CanPacket packet;
            packet.frame = CanPacket::Can0ToCan1;
            packet.id = uint32_t(published % StandardIds);
            packet.rtl = 8;
            qToLittleEndian<quint64>(quint64(published), packet.data);
            server.publish({1700000000000000 + published, packet});
        }
        if (published == frames) {
            QTimer::singleShot(IdleQuitMs * 2, &app, &QCoreApplication::quit);
            pacer.stop();
        }
    });
    pacer.start(1);
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    CanBusSource::pinTimeZone(); // as the program does
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus.plugins.virtualcan.info=false"));
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("frames"), QStringLiteral("Frames per source."),
                      QStringLiteral("N"), QStringLiteral("300000")});
    parser.addOption({QStringLiteral("rate"),
                      QStringLiteral("Frames per second the socketcand server publishes."),
                      QStringLiteral("R"), QStringLiteral("200000")});
    parser.addOption({QStringLiteral("serve"), QStringLiteral("Be the socketcand server."),
                      QStringLiteral("PORT")});
    parser.addHelpOption();
    parser.process(app);
    const qint64 frames = parser.value(QStringLiteral("frames")).toLongLong();
    const int rate = parser.value(QStringLiteral("rate")).toInt();
    if (parser.isSet(QStringLiteral("serve")))
        return serve(app, quint16(parser.value(QStringLiteral("serve")).toUInt()), frames, rate);

    std::printf("load average %s\n", loadAverage().constData());
    const int canBus = runCanBus(app, frames);
    const int socketcand = runSocketcand(app, frames, rate);
    return canBus != 0 ? canBus : socketcand;
}

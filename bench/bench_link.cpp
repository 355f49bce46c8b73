// SPDX-License-Identifier: GPL-3.0-or-later
// Frames from the virtual module through a pseudo-terminal into CanTester and CanDataModel, as
// fast as the line takes them. Prints one figure a line.
//
//   bench_link [--frames N] [--sim PATH]

#include "link/cantester.h"
#include "log/candatamodel.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTimer>
#include <cstdio>

namespace {
qint64 residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QRegularExpression re(QStringLiteral("VmRSS:\\s+(\\d+) kB"));
    const auto match = re.match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() * 1024 : 0;
}

QString startSim(QProcess &sim, const QString &path, qint64 frames)
{
    sim.setProgram(path);
    sim.setArguments({QStringLiteral("--rate"), QStringLiteral("max"), QStringLiteral("--count"),
                      QString::number(frames), QStringLiteral("--ids"), QStringLiteral("1000")});
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start();
    if (!sim.waitForStarted() || !sim.waitForReadyRead(10000))
        return QString();
    const QString line = QString::fromLocal8Bit(sim.readLine()).trimmed();
    return line.startsWith(QLatin1String("PORT ")) ? line.mid(5) : QString();
}

qint64 simFramesSent(QProcess &sim)
{
    sim.terminate();
    sim.waitForFinished(10000);
    const QString out = QString::fromLocal8Bit(sim.readAll());
    const auto match = QRegularExpression(QStringLiteral("frames sent (\\d+)")).match(out);
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("frames"), QStringLiteral("Frames to send."),
                      QStringLiteral("N"), QStringLiteral("1000000")});
    parser.addOption({QStringLiteral("sim"), QStringLiteral("Path of tarvix-sim."),
                      QStringLiteral("PATH"), QStringLiteral(TARVIX_SIM_PATH)});
    parser.addHelpOption();
    parser.process(app);
    const qint64 frames = parser.value(QStringLiteral("frames")).toLongLong();

    QProcess sim;
    const QString portName = startSim(sim, parser.value(QStringLiteral("sim")), frames);
    if (portName.isEmpty()) {
        std::fprintf(stderr, "bench_link: tarvix-sim did not start\n");
        return 1;
    }
    CanDataModel model;
    model.setDeferredInsert(true);
    const qint64 rssBefore = residentBytes();

    QSerialPort port(portName);
    port.setBaudRate(115200);
    port.setReadBufferSize(512);
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "bench_link: %s\n", qPrintable(port.errorString()));
        return 1;
    }
    CanTester tester(&port);
    qint64 decoded = 0;
    qint64 lastFrameNs = 0;
    QElapsedTimer clock;
    QObject::connect(&tester, &CanTester::readyPacket, [&] {
        if (decoded++ == 0)
            clock.start();
        else
            lastFrameNs = clock.nsecsElapsed();
        model.addPacket(tester.lastPacket());
    });
    QTimer refresh; // what a window would do: publish rows a few times a second
    QObject::connect(&refresh, &QTimer::timeout, [&] { model.flushRows(); });
    refresh.start(40);
    QTimer idle; // finished once the line has stayed silent for a while
    qint64 lastCount = -1;
    QObject::connect(&idle, &QTimer::timeout, [&] {
        if (decoded == lastCount && decoded > 0)
            app.quit();
        lastCount = decoded;
    });
    idle.start(500);
    app.exec();
    const double seconds = lastFrameNs / 1e9;
    model.flushRows();
    const qint64 rssAfter = residentBytes();
    const qint64 sent = simFramesSent(sim);

    std::printf("frames sent %lld\n", static_cast<long long>(sent));
    std::printf("frames decoded %lld\n", static_cast<long long>(decoded));
    std::printf("frames lost %lld\n", static_cast<long long>(sent - model.rowCount()));
    std::printf("frames per second %.0f\n", seconds > 0 ? decoded / seconds : 0.0);
    std::printf("bytes per row %.1f\n", double(rssAfter - rssBefore) / qMax(1, model.rowCount()));
    return sent == model.rowCount() ? 0 : 2;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// tarvix-sim: a virtual Tarvix USB-CAN module on a pseudo-terminal, for trying and testing the
// program without the hardware.

#include "ptyline.h"
#include "replaysource.h"
#include "settings/signalpipe.h"
#include "simoptions.h"
#include "simulator.h"
#include "trafficprofile.h"

#include <QCoreApplication>
#include <cstdio>
#include <memory>

namespace {
constexpr int UsageError = 2;
constexpr int SystemError = 1;

int fail(const QString &message, int code)
{
    std::fprintf(stderr, "tarvix-sim: %s\n", qPrintable(message));
    return code;
}

Pacer makePacer(const SimOptions &options, const FrameSource &source)
{
    if (options.rateMax)
        return Pacer(Pacer::Mode::Max, 0);
    if (options.rate > 0)
        return Pacer(Pacer::Mode::Rate, options.rate);
    if (options.replayPath.isEmpty())
        return Pacer(Pacer::Mode::Rate, source.naturalRate());
    return Pacer(Pacer::Mode::Timestamp, 0);
}

void describeSource(const FrameSource &source, int badLines)
{
    std::fprintf(stderr, "tarvix-sim: source runs at about %.0f frames/s", source.naturalRate());
    if (badLines > 0)
        std::fprintf(stderr, "; %d bad lines skipped", badLines);
    std::fprintf(stderr, "\n");
}

void printSummary(const Simulator &simulator, int badLines)
{
    std::printf("tarvix-sim: frames sent %lld, commands answered %lld, host frames received %lld, "
                "bad lines %d\n",
                static_cast<long long>(simulator.framesSent()),
                static_cast<long long>(simulator.commandsAnswered()),
                static_cast<long long>(simulator.hostFrames()), badLines);
    std::fflush(stdout);
}

// The built-in traffic, or the replayed log; null with `error` set when the log cannot be read.
std::unique_ptr<FrameSource> makeSource(const SimOptions &options, int &badLines, QString &error)
{
    if (options.replayPath.isEmpty())
        return std::make_unique<TrafficProfile>(options.ids, options.seed, options.alike);
    auto replay = std::make_unique<ReplaySource>(options.loop);
    if (!replay->load(options.replayPath, error))
        return nullptr;
    badLines = replay->badLines();
    return replay;
}

bool openLine(PtyLine &line, const SimOptions &options, QString &error)
{
    if (!line.open(error))
        return false;
    if (!options.linkPath.isEmpty() && !line.makeLink(options.linkPath, error))
        return false;
    std::printf("PORT %s\n", qPrintable(line.portName()));
    std::fflush(stdout);
    return true;
}

int run(const SimOptions &options)
{
    QString error;
    int badLines = 0;
    std::unique_ptr<FrameSource> source = makeSource(options, badLines, error);
    if (!source)
        return fail(error, UsageError);
    PtyLine line;
    SignalPipe signalPipe;
    if (!openLine(line, options, error) || !signalPipe.install(error))
        return fail(error, SystemError);
    describeSource(*source, badLines);
    const Pacer pacer = makePacer(options, *source);
    const Simulator::Limits limits{options.count, options.durationUs, options.exitWhenDone};
    Simulator simulator(&line, std::move(source), pacer, limits);
    if (!options.hostLogPath.isEmpty() && !simulator.logHostFrames(options.hostLogPath))
        return fail(QStringLiteral("cannot write %1").arg(options.hostLogPath), UsageError);
    QObject::connect(&signalPipe, &SignalPipe::received, qApp, &QCoreApplication::quit);
    QObject::connect(&simulator, &Simulator::finished, qApp, &QCoreApplication::quit);
    simulator.start(options.monitoring);
    QCoreApplication::exec();
    printSummary(simulator, badLines);
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SimOptions options;
    QString message;
    switch (options.parse(QCoreApplication::arguments(), message)) {
    case SimOptions::Outcome::Help:
        std::printf("%s", qPrintable(message));
        return 0;
    case SimOptions::Outcome::Error:
        return fail(message + QStringLiteral(" (see --help)"), UsageError);
    case SimOptions::Outcome::Run:
        break;
    }
    return run(options);
}

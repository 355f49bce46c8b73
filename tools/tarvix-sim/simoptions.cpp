// SPDX-License-Identifier: GPL-3.0-or-later
#include "simoptions.h"

#include "trafficprofile.h"

#include <QCommandLineParser>
#include <cmath>

namespace {
const QString RateOption = QStringLiteral("rate");
const QString CountOption = QStringLiteral("count");
const QString DurationOption = QStringLiteral("duration");
const QString IdsOption = QStringLiteral("ids");
const QString SeedOption = QStringLiteral("seed");
const QString AlikeOption = QStringLiteral("alike");
const QString ReplayOption = QStringLiteral("replay");
const QString FastOption = QStringLiteral("fast");
const QString LoopOption = QStringLiteral("loop");
const QString NoMonitorOption = QStringLiteral("no-monitor");
const QString ExitOption = QStringLiteral("exit-when-done");
const QString LinkOption = QStringLiteral("link");
const QString HostLogOption = QStringLiteral("host-log");

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Virtual Tarvix USB-CAN module on a pseudo-terminal. Prints \"PORT <path>\" first;\n"
        "streams frames while a program has that port open and answers module commands."));
    parser.addOptions({
        {RateOption,
         QStringLiteral("Frames per second, or \"max\" for as fast as the line takes. "
                        "Default: the traffic's own timing."),
         QStringLiteral("N|max")},
        {CountOption, QStringLiteral("Stop streaming after N frames."), QStringLiteral("N")},
        {DurationOption, QStringLiteral("Stop streaming after S seconds of streaming."),
         QStringLiteral("S")},
        {IdsOption,
         QStringLiteral("Distinct identifiers of the built-in traffic, 1..100000 "
                        "(default 40)."),
         QStringLiteral("N")},
        {SeedOption, QStringLiteral("Seed of the built-in traffic (default 1)."),
         QStringLiteral("N")},
        {AlikeOption,
         QStringLiteral("Every identifier sends the same kind of message (8 bytes every 10 ms, "
                        "four in five 29-bit), so that identifier counts compare alike.")},
        {ReplayOption,
         QStringLiteral("Replay a candump log (or candump's screen output) instead of the "
                        "built-in traffic."),
         QStringLiteral("FILE")},
        {FastOption, QStringLiteral("Replay as fast as the line takes.")},
        {LoopOption, QStringLiteral("Replay the log over and over.")},
        {NoMonitorOption, QStringLiteral("Start with monitoring off (command 0x03 turns it on).")},
        {ExitOption, QStringLiteral("Exit once streaming has ended and the port has been read.")},
        {LinkOption, QStringLiteral("Also make a symbolic link PATH to the port."),
         QStringLiteral("PATH")},
        {HostLogOption,
         QStringLiteral("Write each frame record the host transmits to FILE, one hex line each."),
         QStringLiteral("FILE")},
    });
}

bool parsePositive(const QString &text, double limit, double &value)
{
    bool ok = false;
    value = text.toDouble(&ok);
    return ok && std::isfinite(value) && value > 0 && value <= limit;
}
} // namespace

SimOptions::Outcome SimOptions::parse(const QStringList &arguments, QString &message)
{
    QCommandLineParser parser;
    describe(parser);
    const QCommandLineOption help = parser.addHelpOption();
    if (!parser.parse(arguments)) {
        message = parser.errorText();
        return Outcome::Error;
    }
    if (parser.isSet(help)) {
        message = parser.helpText();
        return Outcome::Help;
    }
    if (!parser.positionalArguments().isEmpty()) {
        message =
            QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first());
        return Outcome::Error;
    }
    if (!readNumbers(parser, message) || !checkCombination(parser, message))
        return Outcome::Error;
    replayPath = parser.value(ReplayOption);
    alike = parser.isSet(AlikeOption);
    loop = parser.isSet(LoopOption);
    rateMax = rateMax || parser.isSet(FastOption);
    monitoring = !parser.isSet(NoMonitorOption);
    exitWhenDone = parser.isSet(ExitOption);
    linkPath = parser.value(LinkOption);
    hostLogPath = parser.value(HostLogOption);
    return Outcome::Run;
}

bool SimOptions::readNumbers(const QCommandLineParser &parser, QString &message)
{
    return readRate(parser, message) && readCount(parser, message) &&
           readDuration(parser, message) && readIds(parser, message) && readSeed(parser, message);
}

bool SimOptions::readRate(const QCommandLineParser &parser, QString &message)
{
    const QString text = parser.value(RateOption);
    if (!parser.isSet(RateOption))
        return true;
    if (text == QLatin1String("max")) {
        rateMax = true;
        return true;
    }
    if (parsePositive(text, 1e9, rate))
        return true;
    message = QStringLiteral("--rate wants a number of frames per second above 0, or \"max\"");
    return false;
}

bool SimOptions::readCount(const QCommandLineParser &parser, QString &message)
{
    double value = 0;
    if (!parser.isSet(CountOption))
        return true;
    if (parsePositive(parser.value(CountOption), 1e15, value) && value == std::floor(value)) {
        count = qint64(value);
        return true;
    }
    message = QStringLiteral("--count wants a whole number of frames above 0");
    return false;
}

bool SimOptions::readDuration(const QCommandLineParser &parser, QString &message)
{
    double value = 0;
    if (!parser.isSet(DurationOption))
        return true;
    if (parsePositive(parser.value(DurationOption), 1e9, value)) {
        durationUs = qint64(value * 1e6);
        return true;
    }
    message = QStringLiteral("--duration wants a number of seconds above 0");
    return false;
}

bool SimOptions::readIds(const QCommandLineParser &parser, QString &message)
{
    bool ok = true;
    if (parser.isSet(IdsOption))
        ids = parser.value(IdsOption).toInt(&ok);
    if (ok && ids >= 1 && ids <= TrafficProfile::MaxIds)
        return true;
    message = QStringLiteral("--ids wants a number from 1 to %1").arg(TrafficProfile::MaxIds);
    return false;
}

bool SimOptions::readSeed(const QCommandLineParser &parser, QString &message)
{
    bool ok = true;
    if (parser.isSet(SeedOption))
        seed = parser.value(SeedOption).toUInt(&ok);
    if (!ok)
        message = QStringLiteral("--seed wants a number from 0 to 4294967295");
    return ok;
}

bool SimOptions::checkCombination(const QCommandLineParser &parser, QString &message) const
{
    const bool replay = parser.isSet(ReplayOption);
    if (!replay && (parser.isSet(FastOption) || parser.isSet(LoopOption)))
        message = QStringLiteral("--fast and --loop go with --replay");
    else if (replay &&
             (parser.isSet(IdsOption) || parser.isSet(SeedOption) || parser.isSet(AlikeOption)))
        message =
            QStringLiteral("--ids, --seed and --alike shape the built-in traffic, not a replay");
    else if (parser.isSet(FastOption) && parser.isSet(RateOption))
        message = QStringLiteral("--fast and --rate exclude each other");
    else if (replay && parser.value(ReplayOption).isEmpty())
        message = QStringLiteral("--replay wants a file name");
    return message.isEmpty();
}

// SPDX-License-Identifier: GPL-3.0-or-later
// quorvex-convert: converts a CAN capture between candump, ASC, TRC, BLF, pcapng and the table.

#include "dbcmerge.h"
#include "decodedoutput.h"
#include "diagnostics/diagcsvwriter.h"
#include "diagnostics/diagpairtext.h"
#include "formats/candumpwriter.h"
#include "formats/captureformat.h"
#include "formats/capturereader.h"
#include "formats/capturewriter.h"
#include "link/timedpacket.h"
#include "settings/appinfo.h"
#include "settings/languagechoice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <cstdio>
#include <optional>

namespace {

enum ExitCode { Success = 0, Failure = 1, BadUsage = 2 };

const char HelpText[] =
    "Usage: quorvex-convert [--from FMT] [--to FMT] [--date YYYY-MM-DD] [--direction-marks] IN "
    "OUT\n"
    "       quorvex-convert --dbc A.dbc [--dbc B.dbc ...] --write-dbc OUT.dbc\n"
    "\n"
    "Converts a CAN capture. Formats: candump (.log; what candump prints on the screen is\n"
    "read too), asc (.asc), trc (.trc), blf (.blf), pcapng (.pcapng; .pcap is read too),\n"
    "table (.csv, Quorvex's semicolon table). They are taken from the file suffixes unless\n"
    "--from / --to name them; an IN without a known suffix that reads as candump is candump.\n"
    "IN or OUT may be \"-\" for standard input or output; the format must then be named.\n"
    "\n"
    "Every frame keeps its channel: a candump OUT names it as a candump IN does, and channel N\n"
    "of ASC, TRC or BLF can<N-1>. Plain candump carries no direction: transmitted frames read\n"
    "back as received unless --direction-marks is given.\n"
    "\n"
    "  --from FMT         format of IN\n"
    "  --to FMT          format of OUT\n"
    "  --date YYYY-MM-DD date of the first frame of a table, which holds only the time of day,\n"
    "                    and the day whose midnight the relative times of candump's screen\n"
    "                    output (-t d, -t z) count from (default 1970-01-01)\n"
    "  --dbc FILE         a DBC file for --decoded (repeatable)\n"
    "  --decoded          OUT gets the decoded signals as CSV: \"time\" in seconds since the\n"
    "                    epoch, then one column \"Message.Signal\" per signal, a row per frame\n"
    "                    of a message the DBC files know\n"
    "  --direction-marks  a candump OUT ends each line with T (transmitted) or R (received),\n"
    "                    as python-can and can-utils read them; Wireshark refuses the marks\n"
    "  --write-dbc FILE  writes the DBC files given with --dbc, merged, as one DBC file\n"
    "  --diagnostics      OUT gets the diagnostic messages (ISO-TP, J1939) and their\n"
    "                    faults as CSV: time,channel,id,protocol,source,target,length,payload,\n"
    "                    sid,nrc,pgn,status,text\n"
    "  --pair REQ/RESP[/extended|mixed]  an ISO-TP identifier pair for --diagnostics besides\n"
    "                    0x7DF, 0x7E0-0x7EF and 0x18DA/0x18DB (hex; repeatable)\n"
    "  -h, --help        this text\n"
    "\n"
    "Prints \"frames read N, written M, skipped K\" to standard error; M is what OUT holds.\n"
    "Skipped records (error frames, events, broken lines) are counted, not converted.\n"
    "CAN FD frames keep their flags and all their bytes in candump, ASC, TRC and the table.\n"
    "A damaged IN costs only its damage: every frame around it is converted, and each damaged\n"
    "place (a BLF container, a pcapng block, unreadable lines, a cut end) is counted as one\n"
    "skipped record and named with its bytes or lines. An OUT file is replaced only once all\n"
    "that could be read is written (a device or pipe is written as the frames come).\n"
    "Exit status: 0 frames converted, even from a damaged or cut IN (or IN holds none); 1 nothing\n"
    "could be read (IN unreadable, not in its format, or all damage) or writing failed; 2 bad\n"
    "usage.\n";

void say(const QString &text)
{
    std::fprintf(stderr, "quorvex-convert: %s\n", text.toLocal8Bit().constData());
}

struct Options
{
    QString in;
    QString out;
    std::optional<CaptureFormat> from;
    std::optional<CaptureFormat> to;
    QDate date;
    QStringList dbcFiles;
    bool decoded = false;
    bool directionMarks = false;
    QString writeDbc;
    bool diagnostics = false;
    QVector<DiagPair> pairs;
};

// Parses the command line; returns an exit code when the program should stop at once.
std::optional<int> parseOptions(const QStringList &arguments, Options &options)
{
    QCommandLineParser parser;
    const QCommandLineOption help({"h", "help"}, "help");
    const QCommandLineOption from("from", "format", "FMT");
    const QCommandLineOption to("to", "format", "FMT");
    const QCommandLineOption date("date", "date", "YYYY-MM-DD");
    const QCommandLineOption dbc("dbc", "DBC file", "FILE");
    const QCommandLineOption decoded("decoded", "decoded signals");
    const QCommandLineOption marks("direction-marks", "direction marks");
    const QCommandLineOption writeDbc("write-dbc", "DBC file to write", "FILE");
    const QCommandLineOption diagnostics("diagnostics", "diagnostic messages");
    const QCommandLineOption pair("pair", "ISO-TP pair", "REQ/RESP");
    parser.addOptions({help, from, to, date, dbc, decoded, marks, writeDbc, diagnostics, pair});
    if (!parser.parse(arguments)) {
        say(parser.errorText());
        return BadUsage;
    }
    if (parser.isSet(help)) {
        std::fputs(HelpText, stdout);
        return Success;
    }
    const QStringList files = parser.positionalArguments();
    options.writeDbc = parser.value(writeDbc);
    options.dbcFiles = parser.values(dbc);
    if (parser.isSet(writeDbc))
        return DbcMerge::checkUsage(options.dbcFiles, files) ? std::nullopt
                                                             : std::optional<int>(BadUsage);
    if (files.size() != 2) {
        std::fputs(HelpText, stderr);
        return BadUsage;
    }
    options.dbcFiles = parser.values(dbc);
    options.decoded = parser.isSet(decoded);
    options.directionMarks = parser.isSet(marks);
    options.diagnostics = parser.isSet(diagnostics);
    for (const QString &text : parser.values(pair)) {
        const auto parsed = DiagPairText::fromText(text);
        if (!parsed) {
            say(QStringLiteral("bad pair: %1").arg(text));
            return BadUsage;
        }
        options.pairs.append(*parsed);
    }
    if (options.decoded && options.dbcFiles.isEmpty()) {
        say(QStringLiteral("--decoded needs at least one --dbc FILE"));
        return BadUsage;
    }
    options.in = files[0];
    options.out = files[1];
    if (parser.isSet(from) && !(options.from = CaptureFormats::fromName(parser.value(from)))) {
        say(QStringLiteral("unknown format: %1").arg(parser.value(from)));
        return BadUsage;
    }
    if (parser.isSet(to) && !(options.to = CaptureFormats::fromName(parser.value(to)))) {
        say(QStringLiteral("unknown format: %1").arg(parser.value(to)));
        return BadUsage;
    }
    if (parser.isSet(date)) {
        options.date = QDate::fromString(parser.value(date), Qt::ISODate);
        if (!options.date.isValid()) {
            say(QStringLiteral("bad date: %1").arg(parser.value(date)));
            return BadUsage;
        }
    }
    return std::nullopt;
}

// The formats from the options or the suffixes; an exit code when they cannot be told.
std::optional<int> resolveFormats(Options &options)
{
    if (!options.from && options.in != QLatin1String("-"))
        options.from = CaptureFormats::fromFile(options.in);
    if (!options.to && options.out != QLatin1String("-"))
        options.to = CaptureFormats::fromFileName(options.out);
    if (!options.from) {
        say(QStringLiteral("unknown input format (name it with --from): %1").arg(options.in));
        return options.in == QLatin1String("-") ? BadUsage : Failure;
    }
    if (options.decoded || options.diagnostics)
        options.to = CaptureFormat::Table; // only its suffix matters: the writer is replaced
    if (!options.to) {
        say(QStringLiteral("unknown output format (name it with --to): %1").arg(options.out));
        return BadUsage;
    }
    return std::nullopt;
}

struct Counts
{
    quint64 read = 0;
    quint64 written = 0;
};

constexpr int DamageLines = 10; // places named; the rest are only counted

QString placeText(const CaptureDamage &damage)
{
    if (damage.line > 0 && damage.lines > 1)
        return QStringLiteral("lines %1-%2").arg(damage.line).arg(damage.line + damage.lines - 1);
    if (damage.line > 0)
        return QStringLiteral("line %1").arg(damage.line);
    if (damage.length > 0)
        return QStringLiteral("bytes %1-%2")
            .arg(damage.offset)
            .arg(damage.offset + damage.length - 1);
    return QStringLiteral("byte %1").arg(damage.offset);
}

// Where the input was damaged, so the user can look.
void sayDamage(const QString &in, const CaptureReader &reader)
{
    const QVector<CaptureDamage> &damage = reader.damage();
    for (int i = 0; i < damage.size() && i < DamageLines; ++i)
        say(QStringLiteral("%1: %2 skipped: %3").arg(in, placeText(damage[i]), damage[i].what));
    if (reader.damageCount() > quint64(DamageLines))
        say(QStringLiteral("%1: %2 more damaged places skipped")
                .arg(in)
                .arg(reader.damageCount() - quint64(DamageLines)));
}

// Copies every frame; false when writing failed. A candump output names each frame's interface
// after its channel in the input.
bool copyFrames(CaptureReader &reader, CaptureWriter &writer, Counts &counts)
{
    auto *candump = dynamic_cast<CandumpWriter *>(&writer);
    TimedPacket frame;
    while (reader.next(frame)) {
        ++counts.read;
        if (candump)
            candump->setInterface(reader.channelName());
        if (!writer.write(frame))
            return false;
        ++counts.written;
    }
    return true;
}

bool openInput(const QString &name, QFile &input)
{
    if (name == QLatin1String("-"))
        return input.open(stdin, QIODevice::ReadOnly);
    input.setFileName(name);
    return input.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

// Standard output, a pipe or a device is written as it is; a file is replaced only at the end
// (renaming over a device node would replace the device).
class Output
{
public:
    explicit Output(const QString &name) : saved(name)
    {
        const QFileInfo target(name);
        toStdout = name == QLatin1String("-");
        direct = toStdout || (target.exists() && !target.isFile() && !target.isDir());
        if (direct && !toStdout)
            plain.setFileName(name);
    }
    QFileDevice &device() { return direct ? static_cast<QFileDevice &>(plain) : saved; }
    bool open()
    {
        return toStdout ? plain.open(stdout, QIODevice::WriteOnly)
                        : device().open(QIODevice::WriteOnly);
    }
    bool commit() { return direct || saved.commit(); }
    bool isDirect() const { return direct; }

private:
    QFile plain;
    QSaveFile saved;
    bool toStdout = false;
    bool direct = false;
};

int convert(const Options &options)
{
    QFile input;
    if (!openInput(options.in, input)) {
        say(QStringLiteral("cannot read %1: %2").arg(options.in, input.errorString()));
        return Failure;
    }
    Output output(options.out);
    if (!output.open()) {
        say(QStringLiteral("cannot write %1: %2").arg(options.out, output.device().errorString()));
        return Failure;
    }
    const auto reader = CaptureFormats::createReader(*options.from, &input);
    reader->setBaseDate(options.date);
    DecodedOutput decoded;
    QString dbcError;
    QStringList dbcProblems;
    if (options.decoded && !decoded.load(options.dbcFiles, &dbcError, &dbcProblems)) {
        say(dbcError);
        return Failure;
    }
    for (const QString &problem : dbcProblems)
        say(problem);
    std::unique_ptr<CaptureWriter> writer =
        options.diagnostics ? std::make_unique<DiagCsvWriter>(&output.device(), options.pairs)
        : options.decoded   ? decoded.writer(&output.device())
                            : CaptureFormats::createWriter(*options.to, &output.device());
    if (auto *candump = dynamic_cast<CandumpWriter *>(writer.get()))
        candump->setDirectionMarks(options.directionMarks);
    Counts counts;
    const bool copied = copyFrames(*reader, *writer, counts);
    // Nothing read from an input that failed or was all damage: the old OUT stays as it was.
    const bool readNothing =
        counts.read == 0 && (!reader->errorString().isEmpty() || reader->damageCount() > 0);
    const bool written = !readNothing && copied && writer->finish() && output.commit();
    if (!written && !output.isDirect())
        counts.written = 0; // no file was made
    std::fprintf(stderr, "frames read %llu, written %llu, skipped %llu\n",
                 static_cast<unsigned long long>(counts.read),
                 static_cast<unsigned long long>(counts.written),
                 static_cast<unsigned long long>(reader->skipped()));
    sayDamage(options.in, *reader);
    if (!reader->errorString().isEmpty())
        say(QStringLiteral("%1: %2").arg(options.in, reader->errorString()));
    if (readNothing)
        return Failure;
    if (!written) {
        const QString why =
            writer->errorString().isEmpty() ? output.device().errorString() : writer->errorString();
        say(QStringLiteral("cannot write %1: %2").arg(options.out, why));
        return Failure;
    }
    return Success;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The readers' and writers' messages follow the language chosen for the window.
    LanguageChoice::installTexts(LanguageChoice::stored(
        QSettings(QLatin1String(AppInfo::Organisation), QLatin1String(AppInfo::Application))));
    Options options;
    if (const auto stop = parseOptions(app.arguments(), options))
        return *stop;
    if (!options.writeDbc.isEmpty())
        return DbcMerge::run(options.dbcFiles, options.writeDbc) ? Success : Failure;
    if (const auto stop = resolveFormats(options))
        return *stop;
    return convert(options);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordoptions.h"

#include "capture/sourceaddress.h"
#include "link/tarvixprotocol.h"
#include "settings/appinfo.h"
#include "settings/appsettings.h"
#include "signals/dbcdatabase.h"

#include <QCommandLineParser>
#include <QFile>

namespace {

constexpr qint64 BytesPerMb = 1024LL * 1024;
constexpr int MaxClients = 1000;
constexpr int MaxOpenSeconds = 86400;
constexpr double BytesPerGb = 1024.0 * 1024 * 1024;

const char HelpText[] =
    "Usage: quorvex-record [OPTIONS]\n"
    "\n"
    "Records every frame of a Tarvix module (or another source) to candump logs, as the Quorvex\n"
    "window does, without a window. Defaults come from the window's stored settings.\n"
    "\n"
    "  --port PATH          serial port of the module (setting PORT)\n"
    "  --source SOURCE      read another source than the module (setting SOURCE):\n"
    "                         socketcan:can0           a SocketCAN interface\n"
    "                         virtualcan:can0          Qt's virtual bus (any Qt Serial Bus\n"
    "                                                  plugin: peakcan:usb0, systeccan:...)\n"
    "                         socketcand:HOST:PORT:can0  a socketcand server's interface\n"
    "  --bitrate N          an adapter's bit rate in bit/s (default: leave it)\n"
    "  --data-bitrate N     its CAN FD data phase bit rate\n"
    "  --listen-only        never transmit through the adapter\n"
    "  --baud N             baud rate of the port (setting BAUD)\n"
    "  --can-speed CODE     set the module's CAN speed first: 0 1 Mbit/s, 1 800, 2 500, 3 250,\n"
    "                       4 125, 5 100, 6 50, 7 20, 8 10 kbit/s (default: leave it)\n"
    "  --dir DIR            folder of the recordings (setting WORKDIR)\n"
    "  --rotate-mb N        go on in a new file past N MiB (setting RECORDMB)\n"
    "  --keep-gb G          delete the oldest recordings to keep the folder's under G GiB\n"
    "  --socketcand ADDR:PORT  share the frames over TCP in socketcand's raw mode\n"
    "                       (ADDR may be left out: 127.0.0.1)\n"
    "  --allow-send         socketcand clients may transmit frames\n"
    "  --socketcand-clients N  clients served at once (default 16)\n"
    "  --socketcand-timeout S  close a client that opens no interface within S seconds\n"
    "                       (default 10; 0 never)\n"
    "  --trigger RULE       also record around events only, each to a file of its own\n"
    "                       \"trigger-YYYYMMDD-HHMMSS-NAME.log\" (repeatable); RULE is words:\n"
    "                         id=0x7E8/0x7FF     a frame: identifier / mask (hex)\n"
    "                         data=037F/FFFF     its first data bytes / mask (hex)\n"
    "                         data@20=AA55/FF0F  its data bytes from byte 20 on / mask (hex; a\n"
    "                                            frame's 64 bytes at most, words combine)\n"
    "                         fd                 a CAN FD frame only\n"
    "                         signal=RPM>3000    a DBC signal crossing a value (> < >= <= =)\n"
    "                         lost               frames were lost\n"
    "                         manual             the mark: signal USR1\n"
    "                         pre=S post=S       seconds kept before and after (10, 30)\n"
    "                         name=NAME          in the file name (default trigger)\n"
    "  --trigger-file FILE  the rules of a file, one a line (# begins a comment)\n"
    "  --dbc FILE           DBC file for signal triggers (repeatable; setting DBC)\n"
    "  --triggers-only      no continuous recording beside the triggers\n"
    "  --quiet              no status line every 10 s\n"
    "  -h, --help           this text\n"
    "  -v, --version        the version\n"
    "\n"
    "Signals: TERM and INT close the file and end, HUP goes on in a new file, USR1 fires the\n"
    "manual triggers.\n"
    "Exit status: 0 ended by a signal; 1 cannot start: the folder takes no file (read-only,\n"
    "missing, not a folder, full), the server cannot listen, a --dbc or --trigger-file is\n"
    "unreadable, empty or wrong; 2 bad usage.\n";

bool readNumber(const QString &text, double low, double high, double &value)
{
    bool ok = false;
    value = text.toDouble(&ok);
    return ok && value >= low && value <= high;
}

bool readServer(const QString &text, SessionOptions &session)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port == 0 || port > 65535)
        return false;
    const QString address = colon > 0 ? text.left(colon) : QString();
    if (!address.isEmpty() && !session.serverAddress.setAddress(address))
        return false;
    session.serverPort = quint16(port);
    session.serve = true;
    return true;
}

// --source and the adapter's settings; --port alone names the module again.
bool readSource(const QCommandLineParser &parser, SessionOptions &session, QString &message)
{
    if (parser.isSet(QStringLiteral("port")) && !parser.isSet(QStringLiteral("source")))
        session.source = SourceAddress();
    if (parser.isSet(QStringLiteral("source"))) {
        QString why;
        session.source = SourceAddress();
        if (!SourceAddress::parse(parser.value(QStringLiteral("source")), &session.source, &why)) {
            message = QStringLiteral("--source: ") + why;
            return false;
        }
    }
    for (const char *name : {"bitrate", "data-bitrate"}) {
        if (!parser.isSet(QLatin1String(name)))
            continue;
        double value = 0;
        if (!readNumber(parser.value(QLatin1String(name)), 1000, 16e6, value)) {
            message = QStringLiteral("--%1 wants a rate in bit/s").arg(QLatin1String(name));
            return false;
        }
        (qstrcmp(name, "bitrate") == 0 ? session.source.bitrate : session.source.dataBitrate) =
            int(value);
    }
    if (parser.isSet(QStringLiteral("listen-only")))
        session.source.listenOnly = true;
    return true;
}

bool readWhole(const QString &path, QByteArray &text, QString &message)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        message = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    text = file.readAll();
    if (text.trimmed().isEmpty()) {
        message = path + QStringLiteral(": the file is empty");
        return false;
    }
    return true;
}

// A DBC file named on the command line must give messages: an unreadable, empty or foreign file
// is said at start, not found out when a signal rule never fires.
bool checkDbc(const QString &path, QString &message)
{
    QByteArray text;
    if (!readWhole(path, text, message))
        return false;
    DbcDatabase database;
    database.read(text, path);
    if (!database.messages().empty())
        return true;
    message = path + QStringLiteral(": no message read");
    if (!database.errors().isEmpty())
        message += QStringLiteral(" (") + database.errors().first().text + QLatin1Char(')');
    return false;
}

// Rules one a line; blank lines and those beginning with "#" are skipped.
bool readTriggerFile(const QString &path, QVector<TriggerRule> &rules, QString &message)
{
    QByteArray text;
    if (!readWhole(path, text, message))
        return false;
    const QByteArrayList lines = text.split('\n');
    const int before = rules.size();
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        TriggerRule rule;
        QString why;
        if (!TriggerRule::parse(line, rule, why)) {
            message = QStringLiteral("%1:%2: %3").arg(path).arg(i + 1).arg(why);
            return false;
        }
        rules.append(rule);
    }
    if (rules.size() == before)
        message = path + QStringLiteral(": no rule in it");
    return rules.size() > before;
}

} // namespace

RecordOptions::Outcome RecordOptions::parse(const QStringList &arguments, const AppSettings &stored,
                                            QString &message)
{
    QCommandLineParser parser;
    const QCommandLineOption port(QStringLiteral("port"), {}, QStringLiteral("PATH"));
    const QCommandLineOption baud(QStringLiteral("baud"), {}, QStringLiteral("N"));
    const QCommandLineOption source(QStringLiteral("source"), {}, QStringLiteral("SOURCE"));
    const QCommandLineOption bitrate(QStringLiteral("bitrate"), {}, QStringLiteral("N"));
    const QCommandLineOption dataBitrate(QStringLiteral("data-bitrate"), {}, QStringLiteral("N"));
    const QCommandLineOption listenOnly(QStringLiteral("listen-only"), QString());
    const QCommandLineOption speed(QStringLiteral("can-speed"), {}, QStringLiteral("CODE"));
    const QCommandLineOption dir(QStringLiteral("dir"), {}, QStringLiteral("DIR"));
    const QCommandLineOption rotate(QStringLiteral("rotate-mb"), {}, QStringLiteral("N"));
    const QCommandLineOption keep(QStringLiteral("keep-gb"), {}, QStringLiteral("G"));
    const QCommandLineOption serve(QStringLiteral("socketcand"), {}, QStringLiteral("ADDR:PORT"));
    const QCommandLineOption allowSend(QStringLiteral("allow-send"), QString());
    const QCommandLineOption clients(QStringLiteral("socketcand-clients"), {}, QStringLiteral("N"));
    const QCommandLineOption openTimeout(QStringLiteral("socketcand-timeout"), {},
                                         QStringLiteral("S"));
    const QCommandLineOption triggerFile(QStringLiteral("trigger-file"), {},
                                         QStringLiteral("FILE"));
    const QCommandLineOption quietOption(QStringLiteral("quiet"), QString());
    const QCommandLineOption trigger(QStringLiteral("trigger"), {}, QStringLiteral("RULE"));
    const QCommandLineOption dbc(QStringLiteral("dbc"), {}, QStringLiteral("FILE"));
    const QCommandLineOption triggersOnly(QStringLiteral("triggers-only"), QString());
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    parser.addOptions({port,         source,      bitrate,     dataBitrate, listenOnly,  baud,
                       speed,        dir,         rotate,      keep,        serve,       allowSend,
                       clients,      openTimeout, quietOption, trigger,     triggerFile, dbc,
                       triggersOnly, help,        version});
    if (!parser.parse(arguments)) {
        message = parser.errorText();
        return Outcome::Error;
    }
    if (parser.isSet(help)) {
        message = QString::fromLatin1(HelpText);
        return Outcome::Help;
    }
    if (parser.isSet(version)) {
        message = QStringLiteral("quorvex-record ") + QLatin1String(AppInfo::Version);
        return Outcome::Version;
    }
    if (!parser.positionalArguments().isEmpty()) {
        message = QStringLiteral("unexpected argument ") + parser.positionalArguments().first();
        return Outcome::Error;
    }
    session = sessionOptions(stored);
    if (parser.isSet(port))
        session.portName = parser.value(port);
    if (!readSource(parser, session, message))
        return Outcome::Error;
    if (parser.isSet(dir))
        session.directory = parser.value(dir);
    session.makeDirectory = !parser.isSet(dir); // a folder named must be there: a disk mounted
    session.allowSend = parser.isSet(allowSend);
    quiet = parser.isSet(quietOption);
    double value = 0;
    if (parser.isSet(baud)) {
        if (!readNumber(parser.value(baud), 1, 1e8, value)) {
            message = QStringLiteral("--baud wants a rate in bit/s");
            return Outcome::Error;
        }
        session.baudRate = int(value);
    }
    if (parser.isSet(speed)) {
        bool ok = false;
        session.canSpeed = parser.value(speed).toInt(&ok);
        if (!ok || !TarvixProtocol::speedOf(session.canSpeed)) {
            message = QStringLiteral("--can-speed wants a code from 0 to 8");
            return Outcome::Error;
        }
    }
    if (parser.isSet(rotate)) {
        if (!readNumber(parser.value(rotate), 1, 1e7, value)) {
            message = QStringLiteral("--rotate-mb wants a size in MiB");
            return Outcome::Error;
        }
        session.rotateBytes = qint64(value * BytesPerMb);
    }
    if (parser.isSet(keep)) {
        if (!readNumber(parser.value(keep), 0.001, 1e6, value)) {
            message = QStringLiteral("--keep-gb wants a size in GiB");
            return Outcome::Error;
        }
        session.keepBytes = qint64(value * BytesPerGb);
    }
    for (const QString &text : parser.values(trigger)) {
        TriggerRule rule;
        QString why;
        if (!TriggerRule::parse(text, rule, why)) {
            message = QStringLiteral("--trigger: ") + why;
            return Outcome::Error;
        }
        session.triggers.append(rule);
    }
    if (parser.isSet(clients)) {
        if (!readNumber(parser.value(clients), 1, MaxClients, value)) {
            message =
                QStringLiteral("--socketcand-clients wants a number from 1 to %1").arg(MaxClients);
            return Outcome::Error;
        }
        session.serverClients = int(value);
    }
    if (parser.isSet(openTimeout)) {
        if (!readNumber(parser.value(openTimeout), 0, MaxOpenSeconds, value)) {
            message = QStringLiteral("--socketcand-timeout wants seconds from 0 to %1")
                          .arg(MaxOpenSeconds);
            return Outcome::Error;
        }
        session.serverOpenTimeoutMs = int(value * 1000);
    }
    if (parser.isSet(triggerFile) &&
        !readTriggerFile(parser.value(triggerFile), session.triggers, message))
        return Outcome::CannotStart;
    if (parser.isSet(dbc)) {
        session.dbcFiles = parser.values(dbc);
        for (const QString &path : session.dbcFiles) {
            if (!checkDbc(path, message))
                return Outcome::CannotStart;
        }
    }
    session.record = !parser.isSet(triggersOnly);
    if (!session.record && session.triggers.isEmpty()) {
        message = QStringLiteral("--triggers-only wants a --trigger");
        return Outcome::Error;
    }
    if (parser.isSet(serve) && !readServer(parser.value(serve), session)) {
        message = QStringLiteral("--socketcand wants ADDR:PORT or PORT");
        return Outcome::Error;
    }
    return Outcome::Run;
}

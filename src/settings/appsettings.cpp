// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/appsettings.h"

#include "link/tarvixprotocol.h"
#include "settings/appinfo.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

const QString KeyPort = QStringLiteral("PORT");
const QString KeyBaud = QStringLiteral("BAUD");
const QString KeyShowTx = QStringLiteral("TX");
const QString KeyCanSpeed = QStringLiteral("CANSPEED");
const QString KeyCanId = QStringLiteral("CANID");
const QString KeyWorkDir = QStringLiteral("WORKDIR");
const QString KeyFileName = QStringLiteral("FILENAME");
const QString KeyRecord = QStringLiteral("RECORD");
const QString KeyRecordMb = QStringLiteral("RECORDMB");
const QString KeyDbc = QStringLiteral("DBC");
const QString KeyLogTime = QStringLiteral("LOGTIME");
const QString KeyRecent = QStringLiteral("RECENT");
const QString KeySource = QStringLiteral("SOURCE");
const QString KeyBitrate = QStringLiteral("BITRATE");
const QString KeyDataBitrate = QStringLiteral("DATABITRATE");
const QString KeyListenOnly = QStringLiteral("LISTENONLY");
const QString LogTimeSinceFirst = QStringLiteral("start");
const QString LogTimeOfDay = QStringLiteral("day");

constexpr int DefaultBaudRate = 115200;
// Fastest rate of the common USB serial bridges; anything above is a damaged value.
constexpr qlonglong MaxBaudRate = 12000000;
constexpr int DefaultRecordMb = 1024;
constexpr int MaxRecordMb = 1024 * 1024; // a terabyte: more is a damaged value
constexpr int MaxBitrate = 16000000;     // beyond any CAN FD data phase

// A blank name can never be opened or read, so it counts as missing.
QString textValue(const QVariant &value, const QString &fallback)
{
    const QString text = value.toString();
    return text.trimmed().isEmpty() ? fallback : text;
}

// Read through the text so that a bool or a fraction is not taken for a rate.
QVariant baudValue(const QVariant &value, int fallback)
{
    bool ok = false;
    const qlonglong rate = value.toString().trimmed().toLongLong(&ok);
    if (!ok || rate <= 0 || rate > MaxBaudRate)
        return fallback;
    return int(rate);
}

// Native stores on Unix give every value back as text; accept the usual spellings only.
bool boolValue(const QVariant &value, bool fallback)
{
    if (value.type() == QVariant::Bool)
        return value.toBool();
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    return fallback;
}

int bitrateValue(const QVariant &value)
{
    bool ok = false;
    const int rate = value.toString().trimmed().toInt(&ok);
    return ok && rate > 0 && rate <= MaxBitrate ? rate : 0;
}

// A source that no longer reads as one falls back to the module.
QString sourceValue(const QVariant &value)
{
    SourceAddress address;
    QString why;
    const QString text = value.toString().trimmed();
    return SourceAddress::parse(text, &address, &why) ? text : QString();
}

int recordMbValue(const QVariant &value)
{
    bool ok = false;
    const int size = value.toString().trimmed().toInt(&ok);
    return ok && size > 0 && size <= MaxRecordMb ? size : DefaultRecordMb;
}

// A list of one is stored as plain text; blank entries and values of other types are dropped.
QStringList pathListValue(const QVariant &value)
{
    QStringList paths;
    if (value.type() != QVariant::String && value.type() != QVariant::StringList)
        return paths;
    for (const QString &path : value.toStringList()) {
        if (!path.trimmed().isEmpty())
            paths.append(path);
    }
    return paths;
}

} // namespace

// Beside the program while its folder can be written, as always; installed read-only (a package
// in /usr/bin), the user's documents folder, so recordings and saves land where they can be made.
QString AppSettings::defaultWorkDir(const QString &appDir)
{
    if (QFileInfo(appDir).isWritable())
        return appDir;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
        .filePath(QLatin1String(AppInfo::Application));
}

AppSettings AppSettings::defaults()
{
    AppSettings config;
    config.workDir = defaultWorkDir(QCoreApplication::applicationDirPath());
    config.portName = QStringLiteral("COM1");
    config.baudRate = DefaultBaudRate;
    config.canSpeed = TarvixProtocol::DefaultSpeedCode;
    config.canId = 0;
    config.fileName = QStringLiteral("write_packets.json");
    config.showTx = true;
    return config;
}

QStringList AppSettings::withRecent(QStringList recent, const QString &path)
{
    recent.removeAll(path);
    recent.prepend(path);
    return recent.mid(0, RecentFileCount);
}

AppSettings loadSettings(const QSettings &store)
{
    const AppSettings fallback = AppSettings::defaults();
    AppSettings config;
    config.portName = textValue(store.value(KeyPort), fallback.portName);
    config.baudRate = baudValue(store.value(KeyBaud), DefaultBaudRate);
    config.showTx = boolValue(store.value(KeyShowTx), fallback.showTx);
    config.canSpeed = store.value(KeyCanSpeed, fallback.canSpeed);
    config.canId = store.value(KeyCanId, fallback.canId);
    config.workDir = textValue(store.value(KeyWorkDir), fallback.workDir);
    config.fileName = transmitListName(textValue(store.value(KeyFileName), fallback.fileName));
    config.record = boolValue(store.value(KeyRecord), fallback.record);
    config.recordMb = recordMbValue(store.value(KeyRecordMb));
    config.dbcFiles = pathListValue(store.value(KeyDbc));
    config.timeSinceFirst = store.value(KeyLogTime).toString() == LogTimeSinceFirst;
    config.recentFiles = pathListValue(store.value(KeyRecent)).mid(0, AppSettings::RecentFileCount);
    config.source = sourceValue(store.value(KeySource));
    config.bitrate = bitrateValue(store.value(KeyBitrate));
    config.dataBitrate = bitrateValue(store.value(KeyDataBitrate));
    config.listenOnly = boolValue(store.value(KeyListenOnly), false);
    qDebug().noquote() << config.workDir;
    return config;
}

SessionOptions sessionOptions(const AppSettings &config)
{
    SessionOptions options;
    options.portName = config.portName;
    options.baudRate = config.baudRate.toInt();
    options.record = config.record;
    options.directory = config.workDir;
    options.rotateBytes = qint64(config.recordMb) * 1024 * 1024;
    options.dbcFiles = config.dbcFiles;
    QString why;
    if (!config.source.isEmpty() && SourceAddress::parse(config.source, &options.source, &why)) {
        options.source.bitrate = config.bitrate;
        options.source.dataBitrate = config.dataBitrate;
        options.source.listenOnly = config.listenOnly;
    }
    return options;
}

void saveSettings(QSettings &store, const AppSettings &config)
{
    store.setValue(KeyPort, config.portName);
    store.setValue(KeyBaud, config.baudRate);
    store.setValue(KeyCanSpeed, config.canSpeed);
    store.setValue(KeyCanId, config.canId);
    store.setValue(KeyWorkDir, config.workDir);
    store.setValue(KeyFileName, config.fileName);
    store.setValue(KeyShowTx, config.showTx);
    store.setValue(KeyRecord, config.record);
    store.setValue(KeyRecordMb, config.recordMb);
    store.setValue(KeyDbc, config.dbcFiles);
    store.setValue(KeyLogTime, config.timeSinceFirst ? LogTimeSinceFirst : LogTimeOfDay);
    store.setValue(KeyRecent, config.recentFiles);
    store.setValue(KeySource, config.source);
    store.setValue(KeyBitrate, config.bitrate);
    store.setValue(KeyDataBitrate, config.dataBitrate);
    store.setValue(KeyListenOnly, config.listenOnly);
}

// The list is read and written at the application's directory + "/" + name: a name that is
// absolute or climbs out with ".." would reach files elsewhere.
QString transmitListName(const QString &name)
{
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(name));
    const bool outside = QDir::isAbsolutePath(clean) || clean == QLatin1String("..") ||
                         clean.startsWith(QLatin1String("../"));
    return outside ? AppSettings::defaults().fileName : name;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/captureformat.h"

#include "formats/ascreader.h"
#include "formats/ascwriter.h"
#include "formats/blfreader.h"
#include "formats/blfwriter.h"
#include "formats/candumpreader.h"
#include "formats/candumpwriter.h"
#include "formats/pcapngreader.h"
#include "formats/pcapngwriter.h"
#include "formats/tablereader.h"
#include "formats/tablewriter.h"
#include "formats/trcreader.h"
#include "formats/trcwriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {

struct FormatInfo
{
    CaptureFormat format;
    const char *name;
    const char *suffix;
    const char *title;      // UTF-8
    const char *readSuffix; // another suffix the reader takes, or nullptr
};

const FormatInfo Formats[] = {
    {CaptureFormat::Candump, "candump", "log",
     QT_TRANSLATE_NOOP("CaptureFormats", "Журнал candump"), nullptr},
    {CaptureFormat::Asc, "asc", "asc", "Vector ASC", nullptr},
    {CaptureFormat::Trc, "trc", "trc", "PEAK TRC", nullptr},
    {CaptureFormat::Blf, "blf", "blf", "Vector BLF", nullptr},
    // Classic pcap files are read by the same reader; what is written is always pcapng.
    {CaptureFormat::Pcapng, "pcapng", "pcapng", "Wireshark pcapng", "pcap"},
    {CaptureFormat::Table, "table", "csv", QT_TRANSLATE_NOOP("CaptureFormats", "Таблица Quorvex"),
     nullptr},
};

const FormatInfo &info(CaptureFormat format)
{
    for (const FormatInfo &entry : Formats) {
        if (entry.format == format)
            return entry;
    }
    return Formats[0];
}

} // namespace

QList<CaptureFormat> CaptureFormats::all()
{
    QList<CaptureFormat> formats;
    for (const FormatInfo &entry : Formats)
        formats.append(entry.format);
    return formats;
}

std::optional<CaptureFormat> CaptureFormats::fromFileName(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix();
    for (const FormatInfo &entry : Formats) {
        if (suffix.compare(QLatin1String(entry.suffix), Qt::CaseInsensitive) == 0 ||
            (entry.readSuffix != nullptr &&
             suffix.compare(QLatin1String(entry.readSuffix), Qt::CaseInsensitive) == 0))
            return entry.format;
    }
    return std::nullopt;
}

std::optional<CaptureFormat> CaptureFormats::fromFile(const QString &path)
{
    if (const auto format = fromFileName(path))
        return format;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) &&
        CandumpReader::looksLike(file.read(CandumpReader::JudgedBytes)))
        return CaptureFormat::Candump;
    return std::nullopt;
}

std::optional<CaptureFormat> CaptureFormats::fromName(const QString &name)
{
    for (const FormatInfo &entry : Formats) {
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.format;
    }
    return std::nullopt;
}

QString CaptureFormats::name(CaptureFormat format)
{
    return QLatin1String(info(format).name);
}

QString CaptureFormats::suffix(CaptureFormat format)
{
    return QLatin1String(info(format).suffix);
}

QStringList CaptureFormats::patterns(CaptureFormat format)
{
    QStringList list{QStringLiteral("*.") + QLatin1String(info(format).suffix)};
    if (info(format).readSuffix != nullptr)
        list.append(QStringLiteral("*.") + QLatin1String(info(format).readSuffix));
    return list;
}

QString CaptureFormats::dialogFilter(CaptureFormat format)
{
    return QStringLiteral("%1 (%2)").arg(
        QCoreApplication::translate("CaptureFormats", info(format).title),
        patterns(format).join(QLatin1Char(' ')));
}

QString CaptureFormats::dialogFilters()
{
    QStringList filters;
    for (const FormatInfo &entry : Formats)
        filters.append(dialogFilter(entry.format));
    return filters.join(QStringLiteral(";;"));
}

std::unique_ptr<CaptureReader> CaptureFormats::createReader(CaptureFormat format, QIODevice *device)
{
    switch (format) {
    case CaptureFormat::Candump:
        return std::make_unique<CandumpReader>(device);
    case CaptureFormat::Asc:
        return std::make_unique<AscReader>(device);
    case CaptureFormat::Trc:
        return std::make_unique<TrcReader>(device);
    case CaptureFormat::Blf:
        return std::make_unique<BlfReader>(device);
    case CaptureFormat::Pcapng:
        return std::make_unique<PcapngReader>(device);
    case CaptureFormat::Table:
        return std::make_unique<TableReader>(device);
    }
    return nullptr;
}

std::unique_ptr<CaptureWriter> CaptureFormats::createWriter(CaptureFormat format, QIODevice *device)
{
    switch (format) {
    case CaptureFormat::Candump:
        return std::make_unique<CandumpWriter>(device);
    case CaptureFormat::Asc:
        return std::make_unique<AscWriter>(device);
    case CaptureFormat::Trc:
        return std::make_unique<TrcWriter>(device);
    case CaptureFormat::Blf:
        return std::make_unique<BlfWriter>(device);
    case CaptureFormat::Pcapng:
        return std::make_unique<PcapngWriter>(device);
    case CaptureFormat::Table:
        return std::make_unique<TableWriter>(device);
    }
    return nullptr;
}

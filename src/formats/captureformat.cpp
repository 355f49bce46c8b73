#include "formats/captureformat.h"

#include "formats/ascreader.h"
#include "formats/ascwriter.h"
#include "formats/blfreader.h"
#include "formats/blfwriter.h"
#include "formats/candumpreader.h"
#include "formats/candumpwriter.h"
#include "formats/tablereader.h"
#include "formats/tablewriter.h"
#include "formats/trcreader.h"
#include "formats/trcwriter.h"

#include <QFileInfo>

namespace {

struct FormatInfo
{
    CaptureFormat format;
    const char *name;
    const char *suffix;
    const char *title; // UTF-8
};

const FormatInfo Formats[] = {
    {CaptureFormat::Candump, "candump", "log", "Журнал candump"},
    {CaptureFormat::Asc, "asc", "asc", "Vector ASC"},
    {CaptureFormat::Trc, "trc", "trc", "PEAK TRC"},
    {CaptureFormat::Blf, "blf", "blf", "Vector BLF"},
    {CaptureFormat::Table, "table", "csv", "Таблица Quorvex"},
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
        if (suffix.compare(QLatin1String(entry.suffix), Qt::CaseInsensitive) == 0)
            return entry.format;
    }
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

QString CaptureFormats::dialogFilter(CaptureFormat format)
{
    return QStringLiteral("%1 (*.%2)")
        .arg(QString::fromUtf8(info(format).title), QLatin1String(info(format).suffix));
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
    case CaptureFormat::Table:
        return std::make_unique<TableWriter>(device);
    }
    return nullptr;
}

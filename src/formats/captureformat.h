// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class CaptureReader;
class CaptureWriter;
class QIODevice;

enum class CaptureFormat { Candump, Asc, Trc, Blf, Table, Pcapng };

// What the program knows about each capture format: names, file suffixes, file-dialog filters and
// the reader and writer of each.
namespace CaptureFormats {

// Every format, in the order the file dialogs list them.
QList<CaptureFormat> all();
// By the suffix of a file name (".log", ".asc", ".trc", ".blf", ".pcapng" or ".pcap", ".csv"), in
// any case.
std::optional<CaptureFormat> fromFileName(const QString &fileName);
// By the suffix, or else by the first lines of the file: candump's screen output, saved with
// "candump can0 > dump.txt", has no suffix of its own.
std::optional<CaptureFormat> fromFile(const QString &path);
// By name: "candump", "asc", "trc", "blf", "pcapng", "table", in any case.
std::optional<CaptureFormat> fromName(const QString &name);
QString name(CaptureFormat format);
// Without the dot: "log".
QString suffix(CaptureFormat format);
// The file name patterns the format is opened from: "*.log"; "*.pcapng", "*.pcap".
QStringList patterns(CaptureFormat format);
// "Журнал candump (*.log)".
QString dialogFilter(CaptureFormat format);
// All filters joined with ";;", for QFileDialog.
QString dialogFilters();

// On an open device they do not own.
std::unique_ptr<CaptureReader> createReader(CaptureFormat format, QIODevice *device);
std::unique_ptr<CaptureWriter> createWriter(CaptureFormat format, QIODevice *device);

} // namespace CaptureFormats

// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/recordingpruner.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <utility>

namespace {

constexpr int StampedLength = 23; // "quorvex-YYYYMMDD-HHMMSS"

// Oldest first: by the moment the recording started, then by part.
std::pair<QString, int> order(const QString &baseName)
{
    const int part = baseName.size() > StampedLength ? baseName.mid(StampedLength + 1).toInt() : 1;
    return {baseName.left(StampedLength), part};
}

} // namespace

bool RecordingPruner::isRecordingName(const QString &fileName)
{
    static const QRegularExpression pattern(
        QStringLiteral("^quorvex-\\d{8}-\\d{6}(-\\d+)?\\.log$"));
    return pattern.match(fileName).hasMatch();
}

QStringList RecordingPruner::prune(const QString &directory, qint64 keepBytes,
                                   const QString &writing)
{
    QFileInfoList files;
    qint64 total = 0;
    const QString current = QFileInfo(writing).absoluteFilePath();
    for (const QFileInfo &file : QDir(directory).entryInfoList(QDir::Files)) {
        if (!isRecordingName(file.fileName()))
            continue;
        total += file.size();
        if (file.absoluteFilePath() != current)
            files.append(file);
    }
    std::sort(files.begin(), files.end(), [](const QFileInfo &a, const QFileInfo &b) {
        return order(a.completeBaseName()) < order(b.completeBaseName());
    });
    QStringList deleted;
    for (const QFileInfo &file : files) {
        if (total <= keepBytes)
            break;
        if (QFile::remove(file.absoluteFilePath())) {
            total -= file.size();
            deleted.append(file.absoluteFilePath());
        }
    }
    return deleted;
}

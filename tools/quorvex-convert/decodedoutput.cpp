// SPDX-License-Identifier: GPL-3.0-or-later
#include "decodedoutput.h"

#include "signals/decodedcsvwriter.h"

#include <QFileInfo>

bool DecodedOutput::load(const QStringList &dbcFiles, QString *error, QStringList *problems)
{
    for (const QString &path : dbcFiles) {
        const QFileInfo file(path);
        if (!file.isFile() || !file.isReadable()) {
            *error = QStringLiteral("cannot read DBC %1").arg(path);
            return false;
        }
    }
    *problems = set.load(dbcFiles);
    return true;
}

std::unique_ptr<CaptureWriter> DecodedOutput::writer(QIODevice *device) const
{
    return std::make_unique<DecodedCsvWriter>(device, DecodedCsvWriter::columnsOf(set.database()));
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/simprocess.h"

#include <QRegularExpression>

SimProcess::~SimProcess()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}

bool SimProcess::start(const QStringList &arguments)
{
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QStringLiteral(TARVIX_SIM_PATH), arguments);
    while (!process.canReadLine() && process.waitForReadyRead(10000)) {
    }
    const QString line = QString::fromLocal8Bit(process.readLine()).trimmed();
    if (!line.startsWith(QLatin1String("PORT /")))
        return false;
    port = line.mid(5);
    return true;
}

QString SimProcess::stop()
{
    process.terminate();
    if (!process.waitForFinished(10000))
        return QString();
    const QStringList lines = QString::fromLocal8Bit(process.readAllStandardOutput())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last();
}

qint64 SimProcess::count(const QString &summary, const QString &what)
{
    const QRegularExpression re(QRegularExpression::escape(what) + QStringLiteral(" (\\d+)"));
    const auto match = re.match(summary);
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

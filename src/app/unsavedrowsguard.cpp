// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/unsavedrowsguard.h"

#include "capture/framefeed.h"

#include <QCoreApplication>
#include <QMessageBox>

bool UnsavedRowsGuard::mayDrop(const QString &action) const
{
    const qint64 rows = feed->unfiledRows();
    if (rows == 0)
        return true;
    const QString text =
        QCoreApplication::translate("UnsavedRowsGuard",
                                    "В журнале строк, которых нет ни в одном файле: %1.\n"
                                    "Они не записывались, не сохранялись и не прочитаны из "
                                    "файла.\n%2 и потерять их?")
            .arg(rows)
            .arg(action);
    QMessageBox box(QMessageBox::Question,
                    QCoreApplication::translate("UnsavedRowsGuard", "Несохранённые строки"), text,
                    QMessageBox::Yes | QMessageBox::No, window);
    box.setObjectName(QStringLiteral("unsavedRowsQuestion"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

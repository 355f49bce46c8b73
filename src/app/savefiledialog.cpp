// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/savefiledialog.h"

#include <QFileDialog>
#include <QFileInfo>

QString SaveFileDialog::withSuffix(const QString &path, const QString &suffix)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + QLatin1Char('.') + suffix;
}

// The dialog adds the suffix itself before it checks for a file to replace; a platform dialog
// that does not is made up for afterwards.
QString SaveFileDialog::ask(QWidget *parent, const QString &caption, const QString &start,
                            const QString &filter, const QString &suffix)
{
    QFileDialog dialog(parent, caption, start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return withSuffix(dialog.selectedFiles().constFirst(), suffix);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dbcloader.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>

namespace {
QString dialogFilter()
{
    return DbcLoader::tr("Файлы DBC (*.dbc *.DBC);;Все файлы (*)");
}
} // namespace

DbcLoader::DbcLoader(QWidget *window, QAction *loadAction, QAction *forgetAction)
    : QObject(window), window(window)
{
    connect(loadAction, &QAction::triggered, this, &DbcLoader::ask);
    connect(forgetAction, &QAction::triggered, this, &DbcLoader::forget);
}

// Nothing loaded before or now: nothing to say, the start message stays.
void DbcLoader::load(const QStringList &paths)
{
    const bool hadFiles = !set.files().isEmpty();
    const QStringList problems = set.load(paths);
    emit changed();
    emit filesChanged(set.files());
    if (hadFiles || !paths.isEmpty())
        emit status(set.summary(problems));
}

void DbcLoader::ask()
{
    if (mayDiscard && !mayDiscard())
        return;
    add(QFileDialog::getOpenFileNames(window, tr("Загрузить DBC"), lastDirectory, dialogFilter()));
}

void DbcLoader::open(const QString &path)
{
    if (mayDiscard && !mayDiscard())
        return;
    add({path});
}

void DbcLoader::add(const QStringList &chosen)
{
    if (chosen.isEmpty())
        return;
    lastDirectory = QFileInfo(chosen.last()).absolutePath();
    QStringList paths = set.files();
    for (const QString &path : chosen) {
        const QString absolute = QFileInfo(path).absoluteFilePath();
        paths.removeAll(absolute); // loaded again: it moves to the end and wins
        paths.append(absolute);
    }
    load(paths);
    for (const QString &path : chosen)
        emit opened(QFileInfo(path).absoluteFilePath());
}

void DbcLoader::forget()
{
    if (mayDiscard && !mayDiscard())
        return;
    load(QStringList());
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/recentfilesmenu.h"

#include "app/captureopener.h"
#include "app/dbcloader.h"
#include "settings/appsettings.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>

RecentFilesMenu::RecentFilesMenu(QMenu *fileMenu, QAction *before, QWidget *window,
                                 const QStringList &files)
    : QObject(window), menu(new QMenu(tr("Недавние"), fileMenu)), window(window),
      list(files.mid(0, AppSettings::RecentFileCount))
{
    menu->setObjectName(QStringLiteral("menuRecent"));
    fileMenu->insertMenu(before, menu);
    rebuild();
}

void RecentFilesMenu::follow(const CaptureOpener *opener, DbcLoader *loader)
{
    connect(opener, &CaptureOpener::loaded, this, &RecentFilesMenu::add);
    connect(loader, &DbcLoader::opened, this, &RecentFilesMenu::add);
    connect(this, &RecentFilesMenu::dbcChosen, loader, &DbcLoader::open);
}

bool RecentFilesMenu::isDbc(const QString &path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("dbc"), Qt::CaseInsensitive) == 0;
}

void RecentFilesMenu::add(const QString &path)
{
    setList(AppSettings::withRecent(list, QFileInfo(path).absoluteFilePath()));
}

void RecentFilesMenu::setList(const QStringList &files)
{
    if (files == list)
        return;
    list = files;
    rebuild();
    emit changed(list);
}

// "1 capture.log — /home/user/captures": the name first, where it lies after; '&' doubled so it
// is not taken for a mnemonic.
void RecentFilesMenu::rebuild()
{
    // The action being triggered may be among them: let go later, not deleted under it.
    const auto old = menu->actions();
    for (QAction *action : old) {
        action->setObjectName(QString());
        menu->removeAction(action);
        action->deleteLater();
    }
    for (int i = 0; i < list.size(); ++i) {
        const QFileInfo file(list[i]);
        QString text = QStringLiteral("%1 — %2").arg(file.fileName(),
                                                     QDir::toNativeSeparators(file.absolutePath()));
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction *action = menu->addAction(QStringLiteral("&%1 ").arg((i + 1) % 10) + text);
        action->setObjectName(QStringLiteral("actionRecent%1").arg(i + 1));
        const QString path = list[i];
        connect(action, &QAction::triggered, this, [this, path] { choose(path); });
    }
    menu->addSeparator();
    QAction *clear = menu->addAction(tr("Очистить список"));
    clear->setObjectName(QStringLiteral("actionRecentClear"));
    clear->setEnabled(!list.isEmpty());
    connect(clear, &QAction::triggered, this, [this] { setList(QStringList()); });
}

void RecentFilesMenu::choose(const QString &path)
{
    if (QFileInfo(path).isFile()) {
        if (isDbc(path))
            emit dbcChosen(path);
        else
            emit captureChosen(path);
        return;
    }
    QStringList rest = list;
    rest.removeAll(path);
    setList(rest);
    // Opened, not executed: a capture may be running.
    auto *box = new QMessageBox(QMessageBox::Warning, tr("Недавние"),
                                tr("Файла больше нет:\n%1\nОн убран из списка недавних.")
                                    .arg(QDir::toNativeSeparators(path)),
                                QMessageBox::Ok, window);
    box->setObjectName(QStringLiteral("recentMissing"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

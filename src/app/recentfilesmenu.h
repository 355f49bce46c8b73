// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QStringList>

class CaptureOpener;
class DbcLoader;
class QAction;
class QMenu;
class QWidget;

// "Файл → Недавние": the captures and DBC files opened last, the newest first
// (AppSettings::RecentFileCount of them). Choosing one opens it again; one that is gone is said
// and leaves the list.
class RecentFilesMenu final : public QObject
{
    Q_OBJECT

public:
    // Puts the menu into `fileMenu` before `before`.
    RecentFilesMenu(QMenu *fileMenu, QAction *before, QWidget *window, const QStringList &files);

    QStringList files() const { return list; }
    // Captures the opener loads and DBC files the loader is given are added; DBC files chosen
    // here go to the loader.
    void follow(const CaptureOpener *opener, DbcLoader *loader);
    // A file was opened: it becomes the newest.
    void add(const QString &path);
    // Opens a file of the list, as its action does.
    void choose(const QString &path);

    // A DBC file by its suffix; anything else is a capture.
    static bool isDbc(const QString &path);

signals:
    void captureChosen(const QString &path);
    void dbcChosen(const QString &path);
    // The list to keep in the settings.
    void changed(const QStringList &files);

private:
    void rebuild();
    void setList(const QStringList &files);

    QMenu *menu;
    QWidget *window;
    QStringList list;
};

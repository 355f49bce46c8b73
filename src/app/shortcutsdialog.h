// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QPair>
#include <QVector>

namespace Ui {
class ShortcutsDialog;
}

// "Горячие клавиши": every shortcut of a window, read off its actions and shortcuts as they are
// now, so the list cannot fall behind the program.
class ShortcutsDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit ShortcutsDialog(QWidget *parent = nullptr);
    ~ShortcutsDialog() override;

    // Lists the shortcuts of `window` and everything in it.
    void listFrom(const QWidget *window);

    // What each key does, as "what" and "keys", sorted by what; a QShortcut says what it does
    // in its "What's this" text.
    static QVector<QPair<QString, QString>> shortcutsOf(const QWidget *window);

private:
    Ui::ShortcutsDialog *ui;
};

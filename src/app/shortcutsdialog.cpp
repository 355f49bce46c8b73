// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/shortcutsdialog.h"
#include "ui_shortcutsdialog.h"

#include <QAction>
#include <QHeaderView>
#include <QShortcut>
#include <algorithm>

namespace {

// A menu text as a name: no mnemonic mark, no dots of a dialog to come.
QString plainText(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    text = text.trimmed();
    while (text.endsWith(QLatin1Char('.')) || text.endsWith(QChar(0x2026)))
        text.chop(1);
    return text.trimmed();
}

QString keysText(const QList<QKeySequence> &keys)
{
    QStringList texts;
    for (const QKeySequence &key : keys)
        texts.append(key.toString(QKeySequence::NativeText));
    return texts.join(QStringLiteral(", "));
}

} // namespace

ShortcutsDialog::ShortcutsDialog(QWidget *parent) : QDialog(parent), ui(new Ui::ShortcutsDialog)
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ShortcutsDialog::~ShortcutsDialog()
{
    delete ui;
}

QVector<QPair<QString, QString>> ShortcutsDialog::shortcutsOf(const QWidget *window)
{
    QVector<QPair<QString, QString>> found;
    const auto add = [&found](const QString &what, const QList<QKeySequence> &keys) {
        const QPair<QString, QString> entry(plainText(what), keysText(keys));
        if (!keys.isEmpty() && !found.contains(entry))
            found.append(entry);
    };
    const auto actions = window->findChildren<QAction *>();
    for (const QAction *action : actions)
        add(action->text(), action->shortcuts());
    const auto shortcuts = window->findChildren<QShortcut *>();
    for (const QShortcut *shortcut : shortcuts)
        add(shortcut->whatsThis(), {shortcut->key()});
    std::sort(found.begin(), found.end());
    return found;
}

void ShortcutsDialog::listFrom(const QWidget *window)
{
    const auto shortcuts = shortcutsOf(window);
    ui->twShortcuts->setRowCount(shortcuts.size());
    for (int row = 0; row < shortcuts.size(); ++row) {
        ui->twShortcuts->setItem(row, 0, new QTableWidgetItem(shortcuts[row].first));
        ui->twShortcuts->setItem(row, 1, new QTableWidgetItem(shortcuts[row].second));
    }
    ui->twShortcuts->resizeColumnToContents(0);
}

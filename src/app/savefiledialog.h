// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;

// Asks where to save a file of one kind: a name typed without a suffix gets the kind's, so the
// file is found again by the open dialogs' filters, and asking before replacing a file is about
// the file that will be written.
namespace SaveFileDialog {

// The chosen path, empty when the user backed out. `suffix` without the dot: "dbc".
QString ask(QWidget *parent, const QString &caption, const QString &start, const QString &filter,
            const QString &suffix);
// `path` as given when it has a suffix, else with `suffix` added.
QString withSuffix(const QString &path, const QString &suffix);

} // namespace SaveFileDialog

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QComboBox;
class QListWidget;

// The module's commands and CAN bit rates as the user picks them: caption as text, code as
// integer data under Qt::UserRole.
namespace ModuleCommand {
void fillCommands(QListWidget *list);
} // namespace ModuleCommand

// Appends the CAN bit rates to a combo box, caption and integer code; selects nothing.
void fillCanSpeeds(QComboBox *box);

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "signals/dbcmessage.h"

#include <QUndoCommand>
#include <optional>

class DbcLoader;

// One change of the database by hand: a message (with its signals) added, changed or removed.
// Whole messages are kept before and after, so undo and redo never depend on indexes that an
// edit in between may have moved.
class MessageEditCommand final : public QUndoCommand
{
public:
    MessageEditCommand(const QString &text, DbcLoader *loader, std::optional<DbcMessage> before,
                       std::optional<DbcMessage> after);

    void undo() override;
    void redo() override;

private:
    DbcLoader *loader;
    std::optional<DbcMessage> before;
    std::optional<DbcMessage> after;
    int position = -1;

    void apply(const std::optional<DbcMessage> &from, const std::optional<DbcMessage> &to);
};

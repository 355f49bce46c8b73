// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/messageeditcommand.h"

#include "app/dbcloader.h"

MessageEditCommand::MessageEditCommand(const QString &text, DbcLoader *loader,
                                       std::optional<DbcMessage> before,
                                       std::optional<DbcMessage> after)
    : QUndoCommand(text), loader(loader), before(std::move(before)), after(std::move(after))
{
    if (this->before)
        position = loader->signalSet().database().messagePosition(this->before->id,
                                                                  this->before->extended);
}

void MessageEditCommand::apply(const std::optional<DbcMessage> &from,
                               const std::optional<DbcMessage> &to)
{
    DbcDatabase &db = loader->editableSignalSet().editableDatabase();
    if (from)
        db.removeMessage(from->id, from->extended);
    if (to)
        db.putMessage(*to, position);
    loader->edited();
}

void MessageEditCommand::undo()
{
    apply(after, before);
}

void MessageEditCommand::redo()
{
    apply(before, after);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class DbcDatabase;
struct DbcMessage;
struct DbcSignal;

// What a message or signal made or changed by hand must satisfy to be written to a DBC file
// that every tool reads. Each check returns an empty text when all is well, else what is wrong,
// in words for the user. A name given by hand must be a C identifier; a name kept unchanged from
// a file (real ones begin with digits: "0_COUNTER") is left as it is.
namespace DbcRules {
// A C identifier: Latin letters, digits and '_', not starting with a digit.
bool matchIdentifier(const QString &name);
// `signal` in `message` in place of the signal named `replacing` (empty for a new one).
QString checkSignal(const DbcMessage &message, const DbcSignal &signal,
                    const QString &replacing = QString());
// `message` in `database` in place of the message at `replacing` (-1 for a new one).
QString checkMessage(const DbcDatabase &database, const DbcMessage &message, int replacing = -1);
// Whether the signal can go: no other signal may be multiplexed by it.
QString checkRemoveSignal(const DbcMessage &message, const QString &name);
} // namespace DbcRules

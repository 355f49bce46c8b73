// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

// quorvex-convert --dbc A.dbc [--dbc B.dbc ...] --write-dbc OUT.dbc: reads the files into one
// database, later files replacing messages of earlier ones, and writes it.
namespace DbcMerge {
// Whether the arguments make sense for writing a DBC file; says why not on standard error.
bool checkUsage(const QStringList &dbcFiles, const QStringList &positional);
// False, with the reason on standard error, when a file cannot be read or the output written.
// Statements skipped in the inputs are listed on standard error too.
bool run(const QStringList &dbcFiles, const QString &output);
} // namespace DbcMerge

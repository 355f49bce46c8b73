// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

struct DiagMessage;

// The diagnostic message table as CSV: one line per message or fault, UTF-8, comma-separated.
namespace DiagCsv {

// "time,channel,id,protocol,source,target,length,payload,sid,nrc,pgn,status,text\n"
QByteArray header();
QByteArray line(const DiagMessage &message);
// The same line at the end of `out`, with no copy in between.
void appendLine(QByteArray &out, const DiagMessage &message);
// A field quoted when it holds a comma, a quote or a line break.
QByteArray quoted(const QByteArray &field);

} // namespace DiagCsv

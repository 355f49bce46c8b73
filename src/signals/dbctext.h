// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QByteArray;

// DBC files come from tools that write UTF-8 or the Windows code page; there is no marker.
namespace DbcText {
enum class Encoding { Utf8, Windows1252 };
// UTF-8 (a byte order mark dropped) when the bytes are valid UTF-8, else Windows-1252.
QString decode(const QByteArray &bytes, Encoding *used = nullptr);
// The text in `wanted`, or in UTF-8 when the code page cannot hold it (then `*used` says so).
QByteArray encode(const QString &text, Encoding wanted, Encoding *used = nullptr);
} // namespace DbcText

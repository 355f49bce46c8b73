#pragma once

#include <QString>

class QByteArray;

// DBC files come from tools that write UTF-8 or the Windows code page; there is no marker.
namespace DbcText {
// UTF-8 (a byte order mark dropped) when the bytes are valid UTF-8, else Windows-1252.
QString decode(const QByteArray &bytes);
} // namespace DbcText

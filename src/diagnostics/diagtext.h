// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Small text helpers the meaning decoders share.
namespace DiagText {

// Upper-case hex, zero-filled to `digits`.
QString hex(uint value, int digits);
// "0102AB": bytes as upper-case hex without spaces.
QString hexBytes(const QByteArray &bytes);
// The bytes as text when they are printable ASCII (trailing NUL, space or 0xFF padding
// dropped), else as hex.
QString bytesOrText(const QByteArray &bytes);
// Printable ASCII only, padding dropped, others as '.'.
QString asciiText(const QByteArray &bytes);

} // namespace DiagText

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QFontMetrics;

// A data byte as the log shows it in `format` (a CanDataModel::Format); empty for any other.
QString logByteText(uint byte, int format);
// `count` bytes so, separated by blanks; empty for a format that shows none.
QString logBytesText(const quint8 *bytes, int count, int format);

// Of the 256 texts of `format`, the one widest in `metrics`: what a byte column must hold.
QString widestLogByteText(int format, const QFontMetrics &metrics);

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diagnostics/isotpaddressing.h"

#include <QString>
#include <optional>

// A request/response pair as one line of text, as the settings keep it and the converter takes
// it: "7E0/7E8", "18DA10F1/18DAF110", "6F1/642/extended", "700/708/mixed". Identifiers are hex;
// written with eight digits, or above 0x7FF, they are 29-bit.
namespace DiagPairText {

QString toText(const DiagPair &pair);
std::optional<DiagPair> fromText(const QString &text);

} // namespace DiagPairText

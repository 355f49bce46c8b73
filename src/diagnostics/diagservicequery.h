// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

struct DiagMessage;

// What a user types to find diagnostic messages by service or parameter group: a part of the
// name, in any case ("readdata", "dm1"), or a J1939 group number in decimal ("59904") or hex
// ("EA00", "0xEA00"). Digits alone may be either: both are looked for.
class DiagServiceQuery final
{
public:
    explicit DiagServiceQuery(const QString &text = QString());

    bool isEmpty() const { return text.isEmpty(); }
    bool matches(const DiagMessage &message) const;
    bool matchPgn(uint32_t pgn) const;

private:
    QString text;
    std::optional<uint32_t> decimal;
    std::optional<uint32_t> hex;
};

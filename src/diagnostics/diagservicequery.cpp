// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/diagservicequery.h"

#include "diagnostics/diagdecoder.h"
#include "diagnostics/diagmessage.h"

namespace {
// A PGN has 18 bits: six hex digits or seven decimal ones are more than any can be.
constexpr int MaxHexDigits = 6;
constexpr int MaxDecimalDigits = 7;

std::optional<uint32_t> numberIn(const QString &digits, int base, int maxDigits)
{
    bool ok = false;
    const uint value = digits.toUInt(&ok, base);
    if (!ok || digits.isEmpty() || digits.size() > maxDigits)
        return std::nullopt;
    return value;
}
} // namespace

DiagServiceQuery::DiagServiceQuery(const QString &typed) : text(typed.trimmed())
{
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        hex = numberIn(text.mid(2), 16, MaxHexDigits);
        return;
    }
    hex = numberIn(text, 16, MaxHexDigits);
    decimal = numberIn(text, 10, MaxDecimalDigits);
}

bool DiagServiceQuery::matchPgn(uint32_t pgn) const
{
    return pgn == decimal || pgn == hex;
}

bool DiagServiceQuery::matches(const DiagMessage &m) const
{
    if (text.isEmpty())
        return true;
    if (m.isJ1939() && m.hasPgn() && matchPgn(m.pgn))
        return true;
    return DiagDecoder::serviceName(m).contains(text, Qt::CaseInsensitive);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/diagnosticslog.h"

#include <algorithm>

void DiagnosticsLog::markRow(qint64 logRow)
{
    const bool hidden = logRow < 0;
    if (hidden && !stretches.empty() && stretches.back().row < 0)
        return; // still out of the log
    stretches.push_back({fed, hidden ? -1 : logRow});
}

qint64 DiagnosticsLog::logRowOf(quint64 frame) const
{
    auto it = std::upper_bound(stretches.begin(), stretches.end(), frame,
                               [](quint64 f, const Stretch &s) { return f < s.frame; });
    if (it == stretches.begin())
        return -1;
    --it;
    return it->row < 0 ? -1 : it->row + qint64(frame - it->frame);
}

void DiagnosticsLog::clear()
{
    decoder.clear();
    pending.clear();
    stretches.clear();
    nextRow = -2;
    fed = 0;
}

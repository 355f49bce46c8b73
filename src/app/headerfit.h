// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QTableView;

// Column titles read whole: each section of a table's horizontal header at least as wide as its
// title needs in the header's font. Call again after the titles or the widths change.
namespace HeaderFit {

void widenToTitles(QTableView *view);

} // namespace HeaderFit

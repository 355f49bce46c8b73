// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QTableView;

// The widths of the log's columns for a data format (CanDataModel::Format): the usual widths, or
// wider where the widest text of a column or its title would not fit in the font in use; a
// cut-off data byte or time is no use to anyone.
namespace LogColumns {

void fit(QTableView *view, int format);

} // namespace LogColumns

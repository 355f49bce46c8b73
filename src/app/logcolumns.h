// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class CanDataModel;
class QTableView;

// The widths of the log's columns for a data format (CanDataModel::Format): the usual widths, or
// wider where the widest text of a column or its title would not fit in the font in use; a
// cut-off data byte or time is no use to anyone. A log with CAN FD frames gets room for "EFF FD"
// and for a few of the bytes the last data column carries past the eighth.
namespace LogColumns {

// `view` shows a LogPageModel over a log, or the log itself.
void fit(QTableView *view, int format);
// Fits the columns again whenever the log gets its first FD rows or is emptied.
void follow(QTableView *view, CanDataModel *log);

} // namespace LogColumns

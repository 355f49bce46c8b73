// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/capturecomparison.h"
#include "log/rowselection.h"

#include <QDialog>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class BackgroundJob;
class CanDataModel;
class FrameIndex;

namespace Ui {
class CompareDialog;
}

// "Сравнить": two captures (the log and a file, or two files) or two spans of the log, side by
// side per identifier, the differences that matter first; exportable as CSV. A side taken "Из
// выделения" is exactly the rows selected in the log, however many, read off the window's
// thread; its seconds are shown, and typing others makes it a span of seconds again.
class CompareDialog final : public QDialog
{
    Q_OBJECT

public:
    enum Source { Log, File };

    explicit CompareDialog(const CanDataModel *log, QWidget *parent = nullptr);
    ~CompareDialog() override;

    // The log rows the user selected.
    using SelectionSource = std::function<RowSelection()>;
    // Enables "Из выделения", which makes a side that span of the log.
    void setSelectionSource(SelectionSource source);

    const std::vector<CaptureComparison::Row> &rows() const { return compared; }
    // Writes the table as CSV; false with the reason in `error`.
    bool exportCsv(const QString &path, QString *error) const;

signals:
    // The bits of bytes 0..7 new in B, as DBC files number them (8 * byte + bit).
    void identifierSelected(quint32 id, bool extended, quint64 newBits);
    void ready();

private slots:
    void on_btCompare_clicked();
    void on_btExportCsv_clicked();
    void on_btBrowseA_clicked();
    void on_btBrowseB_clicked();
    void on_btClose_clicked();
    void on_btSelectionA_clicked();
    void on_btSelectionB_clicked();

private:
    struct Side
    {
        Source source = Log;
        QString file;
        double from = 0;
        double to = 0;     // 0: to the end
        RowSelection rows; // of the log, when taken from the selection
    };
    Side side(bool b) const;
    static bool load(const Side &side, const class RowSnapshot &rows, FrameIndex *index,
                     QString *error);
    void showRows();
    void refuse(const QString &why);
    void takeSelection(bool b);
    void dropSelection(bool b);

    Ui::CompareDialog *ui;
    const CanDataModel *log;
    BackgroundJob *job;
    std::vector<CaptureComparison::Row> compared;
    SelectionSource selection;
    RowSelection taken[2]; // the rows side A and side B were taken from
    bool setting = false;  // the seconds of a side are being set from a selection
};

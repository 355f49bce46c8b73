// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diagnostics/isotpaddressing.h"

#include <QWidget>

class DiagnosticsFilter;
class DiagnosticsLog;
class DiagnosticsModel;
class QSettings;

namespace Ui {
class DiagnosticsPage;
}

// The "Диагностика" tab: the diagnostic messages of the received frames, live or from a
// capture, with filters, the payload copyable as hex and the way back to the frames in the log.
class DiagnosticsPage final : public QWidget
{
    Q_OBJECT

public:
    explicit DiagnosticsPage(QWidget *parent = nullptr);
    ~DiagnosticsPage() override;

    // Shows the messages `log` reads, which outlives the page; the identifier pairs come from
    // `store` (key "DIAG"), and the pairs dialog writes them back there.
    void attach(DiagnosticsLog *log, QSettings *store);
    // Brings the table up to date; called at the window's refresh rate.
    void refresh();
    // The log was emptied.
    void clear();
    DiagnosticsModel *model() const { return messages; }
    QVector<DiagPair> pairs() const;
    void setPairs(const QVector<DiagPair> &pairs);
    // The payloads of the selected rows as hex, a line each.
    QString selectedPayloads() const;

    static QVector<DiagPair> loadPairs(const QSettings &store);
    static void savePairs(QSettings &store, const QVector<DiagPair> &pairs);

signals:
    // The log rows of a message's first and last frame.
    void sendShowFrames(qint64 firstRow, qint64 lastRow);

private slots:
    void on_btPairs_clicked();
    void on_btCopy_clicked();
    void on_tvDiagnostics_doubleClicked(const QModelIndex &index);

private:
    void setColumnWidths();

    Ui::DiagnosticsPage *ui;
    DiagnosticsModel *messages;
    DiagnosticsFilter *filter;
    DiagnosticsLog *diagnostics = nullptr;
    QSettings *settings = nullptr;
};

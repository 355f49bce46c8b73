// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diagnostics/diagdecoder.h"

#include <QWidget>
#include <vector>

class DiagnosticsFilter;
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

    // The identifier pairs from `store` (key "DIAG"); the pairs dialog writes them back there.
    void attach(QSettings *store);
    // One received frame and the log row it got (-1 when the log filters kept it out).
    void add(const TimedPacket &frame, qint64 logRow)
    {
        decoder.feed(frame, pending);
        if (logRow != nextRow)
            markRow(logRow);
        nextRow = logRow < 0 ? -1 : logRow + 1;
        ++fed;
    }
    // Brings the table up to date; called at the window's refresh rate.
    void refresh();
    void clear();
    DiagnosticsModel *model() const { return messages; }
    QVector<DiagPair> pairs() const { return decoder.idTable().pairs(); }
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
    // Frames and log rows run side by side in stretches: where a stretch starts, the frame
    // number and its row (-1 for frames the log left out).
    struct Stretch
    {
        quint64 frame;
        qint64 row;
    };

    void setColumnWidths();
    void markRow(qint64 logRow);
    qint64 logRowOf(quint64 frame) const;

    Ui::DiagnosticsPage *ui;
    DiagnosticsModel *messages;
    DiagnosticsFilter *filter;
    DiagDecoder decoder;
    std::vector<DiagMessage> pending;
    std::vector<Stretch> stretches;
    qint64 nextRow = -2;
    quint64 fed = 0;
    QSettings *settings = nullptr;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"

#include <QWidget>
#include <atomic>
#include <memory>
#include <thread>

class CanDataModel;
class QTreeWidgetItem;
class SignalPlot;
class SignalSet;
struct DbcMessage;

namespace Ui {
class SignalsPage;
}

// The "Сигналы" tab: the signals of the chosen frame's message with their values (a check box
// per signal puts it on the plot, as does a double click), the plot below, and the decoded
// export of the plotted signals.
class SignalsPage final : public QWidget
{
    Q_OBJECT

public:
    explicit SignalsPage(QWidget *parent = nullptr);
    ~SignalsPage() override;

    void attach(const SignalSet *set, CanDataModel *log);
    // Lists the signals of this frame's message with the values it carries.
    void showFrame(const CanPacket &packet);
    // Takes the log's new rows into the plot; the owner calls it at each refresh of the window.
    void refresh();
    SignalPlot *plot() const;
    // The message listed now, or null.
    const DbcMessage *message() const { return shown; }

    // Writes the plotted signals (or, with none plotted, every signal of the listed message) of
    // every log row to `path` as decoded CSV, on a thread of its own; status() tells the end.
    bool exportTo(const QString &path);
    bool isExporting() const { return exporter.joinable(); }

public slots:
    // The DBC files were read again: nothing listed or plotted refers to the old set.
    void onSignalSetChanged();

signals:
    void refreshed();
    // The user selected a signal of the listed message.
    void messageSelected(quint32 id, bool extended);
    void status(const QString &text);

private:
    void list(const DbcMessage &message, const CanPacket &packet);
    void onItemChanged(QTreeWidgetItem *item, int column);
    void onItemPicked(QTreeWidgetItem *item);
    void onExportClicked();
    void onExported(bool ok, const QString &path, const QString &error);

    std::unique_ptr<Ui::SignalsPage> ui;
    const SignalSet *set = nullptr;
    CanDataModel *log = nullptr;
    const DbcMessage *shown = nullptr;
    CanPacket shownPacket;
    std::thread exporter;
    std::atomic<bool> stopExport{false};
    bool listing = false; // items are being filled in, not checked by the user
};

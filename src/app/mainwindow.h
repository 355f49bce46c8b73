// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/framefeed.h"
#include "link/canpacket.h"
#include "settings/appsettings.h"

#include <QMainWindow>
#include <memory>

class BitPanel;
class CaptureOpener;
class CaptureSession;
class CommandTab;
class DbcEditor;
class DbcLoader;
class LogPager;
class LogSaver;
class RecordingControl;
class SignalTools;
class StatisticsView;
class UnsavedRowsGuard;
class WindowStatus;
class QSettings;

namespace Ui {
class MainWindow;
}

// The application's window. It wires the parts together: the capture session owns the link to
// the module and the recording, the feed takes every frame the session reads or sends and every
// frame of an opened capture, and the pages, bars and dialogs are views of them.
//
// Ownership: the views read the feed and the loaders. Qt would hide and delete the child widgets
// only after this class's destructor and its members are gone, so the destructor deletes them
// first, while everything they read is still there.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The log view and the pages are brought up to date at most this often.
    static constexpr int RefreshMs = FrameFeed::RefreshMs;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Loads a capture file into the log (the program's argument, say).
    void openCapture(const QString &path);
    // Closes without asking about rows in no file: a stop by signal has nobody to answer.
    void stop();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void onConnectPort();
    void onSendPacket(CanPacket packet);
    void onRefreshView();
    void on_actionExit_triggered();
    void on_actionOpenLog_triggered();
    void on_actionReplay_triggered();
    void on_actionAbout_triggered();
    void on_actionConfigmain_triggered();
    void on_actionOpenPort_triggered();
    void on_actionSetRequsestPackets_triggered();
    void on_cbFormat_currentIndexChanged(int index);
    void on_btClearTable_clicked();
    void on_btSaveTable_clicked();

private:
    void setupLog();
    void setupControls();
    void setupOpener();
    void setupSignals();
    void setupTools();
    void setupMenus();
    void loadConfig();
    void openPort();
    void onLinkClosed(bool lost);
    void showConnected(bool connected);
    void refreshPages();
    void refilterLoaded();
    void deleteChildWidgets();

    Ui::MainWindow *ui;
    CaptureSession *session;
    FrameFeed *feed;
    LogPager *pager = nullptr;
    LogSaver *saver = nullptr;
    DbcLoader *dbc = nullptr;
    CaptureOpener *opener = nullptr;
    std::unique_ptr<UnsavedRowsGuard> unsaved;
    RecordingControl *recording = nullptr;
    SignalTools *tools = nullptr; // finding signals, marking fields, comparing captures
    CommandTab *commands = nullptr;
    WindowStatus *status = nullptr;
    StatisticsView *statisticsView = nullptr;
    BitPanel *bitPanel = nullptr;
    DbcEditor *dbcEditor = nullptr;
    QSettings *settings = nullptr;
    AppSettings config;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/framefilter.h"
#include "app/appsettings.h"
#include "link/canpacket.h"
#include "link/timedpacket.h"

#include <QElapsedTimer>
#include <QMainWindow>

class BitPanel;
class DbcEditor;
class CanDataModel;
class CanTester;
class CaptureSession;
class CaptureLog;
class UnsavedRowsGuard;
class DbcLoader;
class CaptureOpener;
class ExchangeListing;
class FrameStatistics;
class LoadMeter;
class StatisticsView;
class LogPager;
class LogSaver;
class RecordingControl;
class TriggerControl;
class SignalTools;
class QLabel;
class QListWidgetItem;
class QSerialPort;
class QSettings;
class QTimer;

namespace Ui {
class MainWindow;
}

// The application's window: owns the port, the link, the capture log and the statistics, decides
// which frames reach the log, and keeps the status bar.
//
// Ownership: the views read the models, the statistics and the filter. Qt would hide and delete
// the child widgets only after this class's destructor and its members are gone, so the
// destructor deletes them first, while everything they read is still there.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The log view and the statistics table are brought up to date at most this often.
    static constexpr int RefreshMs = 40;

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
    void onAddPacket();
    bool onFilterView(CanPacket packet);
    bool onFilterID(CanPacket packet);
    void onSendPacket(CanPacket packet);
    void onSendBuffer(QByteArray buffer);
    void onReadBuffer(QByteArray buffer);
    void onSetMaskCode(uint32_t mask, uint32_t code);
    void onSetStat(CanPacket packet);
    void onShowStatus(QString state, int page = 0);
    void onStatusSerialPort(QString status);
    void onStatusCan(QString status);
    void onStatusMain(QString status);
    void on_actionExit_triggered();
    void on_actionOpenLog_triggered();
    void on_actionReplay_triggered();
    void on_actionAbout_triggered();
    void on_actionConfigmain_triggered();
    void on_actionMask_triggered();
    void on_actionOpenPort_triggered();
    void on_actionSetRequsestPackets_triggered();
    void on_actionCanConfig_triggered();
    void on_cbFormat_currentIndexChanged(int index);
    void on_btClearTable_clicked();
    void on_btSaveTable_clicked();
    void on_cbMASK_currentIndexChanged(int index);
    void on_btSetSpeed_clicked();
    void on_btSendPacket_clicked();
    void on_lwCommand_itemDoubleClicked(QListWidgetItem *item);
    void on_chkTX_stateChanged(int arg1);
    void onRefreshView();
    void onRateTick();

private:
    void setupLog();
    void fillSelectors();
    void setupStatusBar();
    void setupCommandTab();
    void sendCommand(const QByteArray &message);
    QString transmitListPath() const;
    void loadConfig();
    void setupSignals();
    void openPort();
    void closePort(const QString &status);
    void onPortLost(QSerialPort *lost);
    void scheduleRefresh();
    void logFrame(const TimedPacket &frame);
    void analyse(const TimedPacket &frame, qint64 row);
    void logCaptureFrame(const TimedPacket &frame);
    void logLive(const TimedPacket &frame);
    void setupOpener();
    void refilterLoaded();
    void deleteChildWidgets();

    Ui::MainWindow *ui;
    CanDataModel *model = nullptr;
    LogPager *pager = nullptr;
    LogSaver *saver = nullptr;
    DbcLoader *dbc = nullptr;
    CaptureOpener *opener = nullptr;
    std::unique_ptr<CaptureLog> captureLog; // which rows of the log the opened capture holds
    std::unique_ptr<UnsavedRowsGuard> unsaved;
    CaptureSession *session = nullptr; // recording, triggers and server of each connection
    RecordingControl *recording = nullptr;
    TriggerControl *triggerControl = nullptr;
    SignalTools *tools = nullptr; // finding signals, marking fields, comparing captures
    ExchangeListing *listing = nullptr;
    FrameStatistics *statistics = nullptr;
    StatisticsView *statisticsView = nullptr;
    BitPanel *bitPanel = nullptr;
    DbcEditor *dbcEditor = nullptr;
    LoadMeter *load = nullptr;
    QSerialPort *port = nullptr;
    CanTester *tester = nullptr;
    bool connected = false;
    QSettings *settings = nullptr;
    AppSettings config;
    QListWidgetItem *lastCommand = nullptr;
    QLabel *lbStatusMain = nullptr;
    QLabel *lbStatusCan = nullptr;
    QLabel *lbStatusPort = nullptr;
    QLabel *lbStatusRate = nullptr; // frames per second, and frames lost if any

    FrameFilter filter; // kept from the selectors so frames don't query widgets

    QTimer *refreshTimer;
    QElapsedTimer lastRefresh;
    quint64 framesSeen = 0; // every frame the link delivered
    quint64 framesAtLastTick = 0;
    QElapsedTimer rateClock;
};

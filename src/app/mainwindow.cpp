// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "analysis/framestatistics.h"
#include "app/aboutdialog.h"
#include "app/bitpanel.h"
#include "app/captureopener.h"
#include "app/configdialog.h"
#include "app/dbceditor.h"
#include "app/dbcloader.h"
#include "app/diagnosticspage.h"
#include "app/exchangelisting.h"
#include "app/findbar.h"
#include "app/helpmenu.h"
#include "app/languagemenu.h"
#include "app/loadmeter.h"
#include "app/logcolumns.h"
#include "app/logfilters.h"
#include "app/logpager.h"
#include "app/logsaver.h"
#include "app/logsignaltips.h"
#include "app/logtimechoice.h"
#include "app/module/commandtab.h"
#include "app/recentfilesmenu.h"
#include "app/recordingcontrol.h"
#include "app/replaydialog.h"
#include "app/selectioncount.h"
#include "app/signalselection.h"
#include "app/signalspage.h"
#include "app/statisticsmodel.h"
#include "app/statisticsview.h"
#include "app/transmit/senddialog.h"
#include "app/triggercontrol.h"
#include "app/unsavedrowsguard.h"
#include "app/windowstatus.h"
#include "app/workbench/signaltools.h"
#include "app/wraprowlayout.h"
#include "capture/capturesession.h"
#include "link/cansource.h"
#include "link/timedpacket.h"
#include "log/candatamodel.h"
#include "settings/appinfo.h"
#include "transmit/transmitlistlocation.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>

static void initImages()
{
    Q_INIT_RESOURCE(images); // the pictures live in a static library
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), session(new CaptureSession(this)),
      feed(new FrameFeed(this))
{
    initImages();
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setWindowState(Qt::WindowMaximized);
    setWindowTitle(
        tr("Veltrica. Анализатор пакетов Quorvex %1").arg(QLatin1String(AppInfo::Version)));
    loadConfig();
    setupLog();
    setupControls();
    setupOpener();
    setupSignals();
    setupTools();
    setupMenus();
}

MainWindow::~MainWindow()
{
    session->disconnect(); // nothing it says at the end reaches a window half gone
    feed->disconnect();
    session->stop(); // what has arrived is recorded, the file closed
    deleteChildWidgets();
    if (settings)
        saveSettings(*settings, config);
    delete ui;
}

// Views, pages, bars and dialogs go while the feed, the session and the loaders they read are
// all still here; the objects left are deleted by Qt after the members.
void MainWindow::deleteChildWidgets()
{
    hide();
    const auto widgets = findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *widget : widgets)
        delete widget;
}

void MainWindow::loadConfig()
{
    settings = new QSettings(QLatin1String(AppInfo::Organisation),
                             QLatin1String(AppInfo::Application), this);
    config = loadSettings(*settings);
}

// The log, the statistics and the bit view: the feed's views.
void MainWindow::setupLog()
{
    pager = new LogPager(ui->tableView, ui->sbLog, feed->log(), this);
    LogColumns::fit(ui->tableView, CanDataModel::Hex);
    LogColumns::follow(ui->tableView, feed->log());
    new SelectionCount(ui->statusbar, pager, this);
    connect(feed, &FrameFeed::rowsAdded, pager, &LogPager::onRowsAdded);
    connect(feed, &FrameFeed::refreshed, this, &MainWindow::refreshPages);
    connect(ui->tabWidget, &QTabWidget::currentChanged, feed, &FrameFeed::refresh);
    connect(session, &CaptureSession::readyFrame, feed, &FrameFeed::add);
    feed->setRecorder(session->recorder());

    statisticsView = new StatisticsView(ui->tableView_2, feed->statistics(), &feed->filter(), this);
    bitPanel = new BitPanel(this);
    ui->tabWidget->insertTab(ui->tabWidget->indexOf(ui->tab_2) + 1, bitPanel, tr("Биты"));
    bitPanel->follow(ui->tableView_2, feed->statistics());
    bitPanel->setCounter(&feed->bitFlips());
    bitPanel->attachLog(feed->log(), pager);
    connect(pager, &LogPager::currentRowChanged, bitPanel, [this](int row) {
        const TimedPacket frame = feed->log()->frameAt(row);
        bitPanel->showId(frame.packet.id, frame.packet.isExtended());
    });
    statisticsView->tableModel()->setNewTest(
        [this](uint32_t id, bool extended) { return bitPanel->hasNewFlips(id, extended); });
    ui->diagnosticsPage->attach(&feed->diagnostics(), settings);
    connect(ui->diagnosticsPage, &DiagnosticsPage::sendShowFrames, this, [this](qint64 first) {
        ui->tabWidget->setCurrentWidget(ui->tab);
        pager->showRow(int(first));
    });
    connect(feed, &FrameFeed::cleared, ui->diagnosticsPage, &DiagnosticsPage::clear);
    connect(feed, &FrameFeed::cleared, bitPanel, &BitPanel::clear);
    ui->findBar->attach(feed->log(), pager, this);
    connect(ui->findBar, &FindBar::rowFound, this,
            [this] { ui->tabWidget->setCurrentWidget(ui->tab); });
}

// Filters, status bar, commands, recording, triggers and the server.
void MainWindow::setupControls()
{
    auto *filters = new LogFilters({ui->cbDirect, ui->cbMASK, ui->chkTX, ui->actionMask},
                                   &feed->filter(), config.showTx, this);
    connect(filters, &LogFilters::changed, this, &MainWindow::refilterLoaded);
    connect(filters, &LogFilters::showTxChanged, this, [this](bool on) { config.showTx = on; });
    for (const auto &name : {"HEX", "DEC", "ASC", "BIN"})
        ui->cbFormat->addItem(QLatin1String(name), ui->cbFormat->count());
    WrapRowLayout::replaceIn(ui->groupBox); // a narrow screen gets the filters in two lines

    status = new WindowStatus(ui->statusbar, feed, session, this);
    auto *load = new LoadMeter(ui->statusbar, &feed->busLoad(), this);
    recording = new RecordingControl(ui->statusbar, session->recorder(), this);
    connect(session, &CaptureSession::linkOpened, recording, &RecordingControl::begin);
    connect(session, &CaptureSession::linkClosing, recording, &RecordingControl::end);
    saver = new LogSaver(this, ui->statusbar, feed->log());
    connect(saver, &LogSaver::status, status, &WindowStatus::showMain);
    connect(saver, &LogSaver::saved, feed, &FrameFeed::rowsSaved);
    commands = new CommandTab({ui->lwCommand, ui->cbCanSpeed, ui->btSetSpeed, ui->btSendPacket,
                               ui->lwList, ui->actionCanConfig},
                              session, this);
    commands->setSource(config.source);
    load->followSpeed(ui->cbCanSpeed);
    connect(commands, &CommandTab::connectRequested, this, &MainWindow::onConnectPort);
    connect(commands, &CommandTab::status, status, &WindowStatus::showCan);
    connect(ui->actionCanConfig, &QAction::triggered, commands, &CommandTab::configure);
    connect(session, &CaptureSession::linkClosed, this, &MainWindow::onLinkClosed);
    new TriggerControl(ui->statusbar, ui->menu, settings, session, this);
}

// Captures from files: read into the feed on a thread of their own.
void MainWindow::setupOpener()
{
    unsaved = std::make_unique<UnsavedRowsGuard>(this, feed);
    opener = new CaptureOpener(this, ui->statusbar);
    connect(opener, &CaptureOpener::status, status, &WindowStatus::showMain);
    connect(opener, &CaptureOpener::starting, feed, &FrameFeed::beginCapture);
    connect(opener, &CaptureOpener::frames, feed, &FrameFeed::addCapture);
    connect(opener, &CaptureOpener::loaded, this, [this](const QString &path) {
        feed->endCapture();
        setWindowTitle(tr("Veltrica. Анализатор пакетов Quorvex %1 — %2")
                           .arg(QLatin1String(AppInfo::Version), QFileInfo(path).fileName()));
        ui->actionReplay->setEnabled(session->isConnected());
    });
}

void MainWindow::setupSignals()
{
    dbc = new DbcLoader(this, ui->actionLoadDbc, ui->actionForgetDbc);
    ui->signalsPage->attach(&dbc->signalSet(), feed->log());
    connect(dbc, &DbcLoader::changed, ui->signalsPage, &SignalsPage::onSignalSetChanged);
    connect(dbc, &DbcLoader::status, status, &WindowStatus::showMain);
    connect(ui->signalsPage, &SignalsPage::status, status, &WindowStatus::showMain);
    connect(dbc, &DbcLoader::filesChanged, this, [this](const QStringList &files) {
        config.dbcFiles = files;
        session->setDbcFiles(files);
    });
    new SignalSelection(pager, ui->tableView, feed->statistics(), ui->tableView_2, ui->signalsPage);
    new LogSignalTips(ui->tableView, pager->page(), &dbc->signalSet());
    statisticsView->showNames(dbc);
    bitPanel->showSignals(dbc);
    connect(ui->signalsPage, &SignalsPage::messageSelected, bitPanel, &BitPanel::showId);
    dbcEditor = new DbcEditor(this, dbc, ui->actionSaveDbc, ui->actionSaveDbcAs);
    connect(dbcEditor, &DbcEditor::status, status, &WindowStatus::showMain);
    connect(bitPanel, &BitPanel::signalRequested, dbcEditor, &DbcEditor::createSignal);
    connect(bitPanel, &BitPanel::signalEditRequested, dbcEditor, &DbcEditor::editSignal);
    connect(bitPanel, &BitPanel::messageEditRequested, dbcEditor, &DbcEditor::editMessage);
    saver->decodeWith(&dbc->signalSet());
    dbc->load(config.dbcFiles);
}

// Finding signals, marking fields and comparing captures, over the log.
void MainWindow::setupTools()
{
    tools = new SignalTools(this, feed->log(), &dbc->signalSet(), ui->actionFindSignal,
                            ui->actionMarkFields, ui->actionCompare);
    tools->setMomentSource([this]() -> std::optional<qint64> {
        const int row = pager->currentRow();
        return row < 0 ? std::nullopt : std::optional<qint64>(feed->log()->frameAt(row).time);
    });
    tools->setSelectionSource([this] { return pager->selection(); });
    connect(tools, &SignalTools::candidateSelected, bitPanel,
            [this](quint32 id, bool extended, int start, int length, bool motorola) {
                bitPanel->showCandidate(id, extended, start, length, motorola);
                ui->tabWidget->setCurrentWidget(bitPanel);
            });
    connect(statisticsView, &StatisticsView::findSignalRequested, tools, &SignalTools::findIn);
    connect(bitPanel, &BitPanel::findSignalRequested, tools, &SignalTools::findIn);
    connect(tools, &SignalTools::createSignalRequested, dbcEditor, &DbcEditor::createFoundSignal);
    connect(tools, &SignalTools::marksFound, bitPanel, &BitPanel::showMarks);
    connect(tools, &SignalTools::identifierSelected, bitPanel,
            [this](quint32 id, bool extended) { bitPanel->showId(id, extended); });
}

void MainWindow::setupMenus()
{
    new LanguageMenu(ui->menubar, ui->menuHelp->menuAction(), this);
    new HelpMenu(ui->menuHelp, ui->actionAbout, this);
    auto *time =
        new LogTimeChoice(ui->cbTime, ui->tabWidget, feed->log(), config.timeSinceFirst, this);
    connect(time, &LogTimeChoice::chosen, this, [this](bool on) { config.timeSinceFirst = on; });
    auto *recent = new RecentFilesMenu(ui->menuConfig, ui->actionReplay, this, config.recentFiles);
    recent->follow(opener, dbc);
    connect(recent, &RecentFilesMenu::captureChosen, this, &MainWindow::openCapture);
    connect(recent, &RecentFilesMenu::changed, this,
            [this](QStringList f) { config.recentFiles = f; });
}

// Connection

void MainWindow::onConnectPort()
{
    if (session->isConnected()) {
        session->close();
        return;
    }
    openPort();
}

void MainWindow::on_actionOpenPort_triggered()
{
    onConnectPort();
}

void MainWindow::openPort()
{
    if (!session->open(sessionOptions(config))) {
        status->showPort(session->portName() + tr(" ошибка соединения"));
        showConnected(false);
        return;
    }
    status->showPort(session->portName() + tr(" открыт"));
    status->showCan(tr("Старт тестер"));
    showConnected(true);
}

// The connection ended: closed by the user, or the module went away (unplugged, or the line
// hung up). The log keeps what it holds.
void MainWindow::onLinkClosed(bool lost)
{
    feed->refresh();
    status->showPort(session->portName() + (lost ? tr(" ошибка соединения") : tr(" закрыт")));
    showConnected(false);
}

void MainWindow::showConnected(bool connected)
{
    ui->actionOpenPort->setIcon(QIcon(connected ? QStringLiteral(":/images/usbon.png")
                                                : QStringLiteral(":/images/usboff.png")));
    ui->actionReplay->setEnabled(connected && opener->hasCapture());
}

// Transmit path: the transmit list, the replay and the socketcand clients send through the
// session, which takes every frame written as transmitted.
void MainWindow::onSendPacket(CanPacket packet)
{
    const int written = session->send(packet);
    if (written < 0) {
        if (session->isConnected()) // the source refused the frame: say why
            status->showCan(tr("Ошибка записи: %1").arg(session->source()->errorString()));
        return;
    }
    status->showCan(written > 0 ? tr("Запись %1 байт").arg(written) : tr("Ошибка записи!"));
}

void MainWindow::onRefreshView()
{
    feed->refresh();
}

// Every refresh of the feed: the pages bring themselves up to date.
void MainWindow::refreshPages()
{
    commands->listing()->refresh();
    ui->signalsPage->refresh();
    ui->diagnosticsPage->refresh();
    // The statistics table is brought up to date only while its page is shown: formatting rows
    // nobody looks at is the largest cost of a busy bus with many identifiers.
    if (ui->tabWidget->currentWidget() == ui->tab_2)
        feed->statistics()->refresh();
    bitPanel->refresh();
}

// Captures from files

void MainWindow::openCapture(const QString &path)
{
    if (session->isConnected())
        status->showMain(tr("Журнал открывается при закрытом порте"));
    else if (unsaved->mayDrop(tr("Открыть другой журнал")))
        opener->load(path);
}

void MainWindow::on_actionOpenLog_triggered()
{
    if (session->isConnected())
        status->showMain(tr("Журнал открывается при закрытом порте"));
    else if (unsaved->mayDrop(tr("Открыть другой журнал")))
        opener->open(config.workDir);
}

// A loaded capture follows the filters, connected or not: it is read again with the new ones.
void MainWindow::refilterLoaded()
{
    if (opener && opener->hasCapture())
        opener->reload();
}

void MainWindow::on_actionReplay_triggered()
{
    feed->refresh();
    CaptureLog &captured = feed->captureLog();
    auto *dialog = new ReplayDialog(captured.captureSnapshot(),
                                    captured.captureRowsOf(pager->selectedRows()), this);
    connect(dialog, &ReplayDialog::sendPacket, this, &MainWindow::onSendPacket);
    dialog->exec();
    dialog->deleteLater();
}

void MainWindow::stop()
{
    feed->forgetUnfiled();
    close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if ((!dbcEditor || dbcEditor->mayDiscard()) && unsaved->mayDrop(tr("Закрыть программу")))
        QMainWindow::closeEvent(event);
    else
        event->ignore();
}

// Dialogs and commands of the form

void MainWindow::on_actionSetRequsestPackets_triggered()
{
    if (!session->isConnected()) {
        QMessageBox::warning(this, tr("Отправка кадров"),
                             tr("Порт закрыт! уставновите соединение!"));
        return;
    }
    const QString path =
        TransmitListLocation::path(QCoreApplication::applicationDirPath(), config.fileName);
    auto *dialog = new SendDialog(this);
    dialog->setFdRefusal(session->source()->fdRefusal());
    connect(dialog, &SendDialog::sendStatus, status, &WindowStatus::showMain);
    connect(dialog, &SendDialog::sendPacket, this, &MainWindow::onSendPacket);
    dialog->readPackets(path);
    if (dialog->exec() == QDialog::Accepted)
        dialog->writePackets(path);
    dialog->deleteLater();
}

void MainWindow::on_actionAbout_triggered()
{
    auto *dialog = new AboutDialog(this);
    dialog->exec();
    dialog->deleteLater();
}

void MainWindow::on_actionConfigmain_triggered()
{
    auto *dialog = new ConfigDialog(this);
    dialog->setSettings(config);
    if (dialog->exec() == QDialog::Accepted) {
        config = dialog->getSettings();
        commands->setSource(config.source);
    }
    dialog->deleteLater();
}

void MainWindow::on_actionExit_triggered()
{
    close();
}

void MainWindow::on_cbFormat_currentIndexChanged(int index)
{
    Q_UNUSED(index)
    const int format = ui->cbFormat->currentData().toInt();
    LogColumns::fit(ui->tableView, format);
    feed->log()->setFormat(format);
    statisticsView->setFormat(format);
    ui->tableView->viewport()->update();
}

void MainWindow::on_btClearTable_clicked()
{
    if (!unsaved->mayDrop(tr("Очистить журнал")))
        return;
    commands->listing()->clear();
    feed->clear();
    opener->forget();
    ui->actionReplay->setEnabled(false);
}

void MainWindow::on_btSaveTable_clicked()
{
    feed->refresh();
    saver->save(config.workDir);
}

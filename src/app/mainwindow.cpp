// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "analysis/framestatistics.h"
#include "app/aboutdialog.h"
#include "app/appinfo.h"
#include "app/bitpanel.h"
#include "app/capturelog.h"
#include "app/captureopener.h"
#include "app/configdialog.h"
#include "app/dbceditor.h"
#include "app/dbcloader.h"
#include "app/diagnosticspage.h"
#include "app/elidedlabel.h"
#include "app/exchangelisting.h"
#include "app/findbar.h"
#include "app/helpmenu.h"
#include "app/languagemenu.h"
#include "app/loadmeter.h"
#include "app/logcolumns.h"
#include "app/logpager.h"
#include "app/logsaver.h"
#include "app/logsignaltips.h"
#include "app/logtimechoice.h"
#include "app/recentfilesmenu.h"
#include "app/recordingcontrol.h"
#include "app/replaydialog.h"
#include "app/selectioncount.h"
#include "app/signalselection.h"
#include "app/signalspage.h"
#include "app/statisticsmodel.h"
#include "app/statisticsview.h"
#include "app/statusfields.h"
#include "app/triggercontrol.h"
#include "app/unsavedrowsguard.h"
#include "app/wraprowlayout.h"
#include "capture/capturerecorder.h"
#include "capture/capturesession.h"
#include "capture/rowstore.h"
#include "link/cantester.h"
#include "link/timedpacket.h"
#include "link/timeofday.h"
#include "log/candatamodel.h"
#include "module/canconfig.h"
#include "module/filtermask.h"
#include "module/modulecommands.h"
#include "transmit/senddialog.h"
#include "transmit/transmitlistlocation.h"
#include "workbench/signaltools.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QSerialPort>
#include <QSettings>
#include <QStandardItemModel>
#include <QTimer>

static void initImages()
{
    Q_INIT_RESOURCE(images); // the pictures live in a static library
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), session(new CaptureSession(this)),
      refreshTimer(new QTimer(this))
{
    initImages();
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setWindowState(Qt::WindowMaximized);
    setWindowTitle(
        tr("Veltrica. Анализатор пакетов Quorvex %1").arg(QLatin1String(AppInfo::Version)));

    refreshTimer->setSingleShot(true);
    connect(refreshTimer, &QTimer::timeout, this, &MainWindow::onRefreshView);
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, &MainWindow::onRefreshView);
    auto *rateTimer = new QTimer(this);
    connect(rateTimer, &QTimer::timeout, this, &MainWindow::onRateTick);
    rateTimer->start(1000);
    rateClock.start();
    lastRefresh.start();

    setupLog();
    fillSelectors();
    WrapRowLayout::replaceIn(ui->groupBox); // a narrow screen gets the filters in two lines
    setupStatusBar();
    setupCommandTab();
    setupOpener();
    loadConfig();
    triggerControl = new TriggerControl(ui->statusbar, ui->menu, settings, session, this);
    connect(session, &CaptureSession::sendPacket, this, &MainWindow::onSendPacket);
    setupSignals();
    ui->diagnosticsPage->attach(settings);
    connect(ui->diagnosticsPage, &DiagnosticsPage::sendShowFrames, this, [this](qint64 first) {
        ui->tabWidget->setCurrentWidget(ui->tab);
        pager->showRow(int(first));
    });
    ui->chkTX->setChecked(config.showTx);
    on_chkTX_stateChanged(config.showTx ? 1 : 0);
    new LanguageMenu(ui->menubar, ui->menuHelp->menuAction(), this);
    new HelpMenu(ui->menuHelp, ui->actionAbout, this);
    auto *time = new LogTimeChoice(ui->cbTime, ui->tabWidget, model, config.timeSinceFirst, this);
    connect(time, &LogTimeChoice::chosen, this, [this](bool on) { config.timeSinceFirst = on; });
    auto *recent = new RecentFilesMenu(ui->menuConfig, ui->actionReplay, this, config.recentFiles);
    recent->follow(opener, dbc);
    connect(recent, &RecentFilesMenu::captureChosen, this, &MainWindow::openCapture);
    connect(recent, &RecentFilesMenu::changed, this,
            [this](QStringList f) { config.recentFiles = f; });
}

MainWindow::~MainWindow()
{
    deleteChildWidgets();
    delete port;
    port = nullptr;
    if (settings)
        saveSettings(*settings, config);
    delete ui;
}

// Views, pages, bars and dialogs go while the models, statistics, filter and loaders they read
// are all still here; the objects left are deleted by Qt after the members.
void MainWindow::deleteChildWidgets()
{
    hide();
    const auto widgets = findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *widget : widgets)
        delete widget;
}

void MainWindow::setupLog()
{
    model = new CanDataModel(this);
    model->setDeferredInsert(true); // rows reach the view with each refresh
    pager = new LogPager(ui->tableView, ui->sbLog, model, this);
    LogColumns::fit(ui->tableView, CanDataModel::Hex);
    new SelectionCount(ui->statusbar, pager, this);

    statistics = new FrameStatistics(this);
    statisticsView = new StatisticsView(ui->tableView_2, statistics, &filter, this);
    bitPanel = new BitPanel(this);
    ui->tabWidget->insertTab(ui->tabWidget->indexOf(ui->tab_2) + 1, bitPanel, tr("Биты"));
    bitPanel->follow(ui->tableView_2, statistics);
    bitPanel->attachLog(model, pager);
    connect(pager, &LogPager::currentRowChanged, bitPanel, [this](int row) {
        const TimedPacket frame = model->frameAt(row);
        bitPanel->showId(frame.packet.id, frame.packet.isExtended());
    });
    statisticsView->tableModel()->setNewTest(
        [this](uint32_t id, bool extended) { return bitPanel->hasNewFlips(id, extended); });
    ui->findBar->attach(model, pager, this);
    connect(ui->findBar, &FindBar::rowFound, this,
            [this] { ui->tabWidget->setCurrentWidget(ui->tab); });
}

void MainWindow::fillSelectors()
{
    connect(ui->cbDirect, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] {
        filter.setDirection(ui->cbDirect->currentData().toInt());
        refilterLoaded();
    });

    const auto fill = [](QComboBox *box, const QList<QPair<QString, int>> &items) {
        for (const auto &item : items)
            box->addItem(item.first, item.second);
    };
    fill(ui->cbMASK, {{tr("Все"), 0},
                      {QStringLiteral("11 bits"), 1},
                      {QStringLiteral("Mask 11 bits"), 2},
                      {QStringLiteral("29 bits"), 3},
                      {QStringLiteral("Mask 29 bits"), 4}});
    fill(ui->cbDirect, {{tr("Все"), 240},
                        {QStringLiteral("RX"), 64},
                        {QStringLiteral("RX (CAN0->CAN1)"), 16},
                        {QStringLiteral("RX (CAN1->CAN0)"), 32}});
    for (const auto &name : {"HEX", "DEC", "ASC", "BIN"})
        ui->cbFormat->addItem(QLatin1String(name), ui->cbFormat->count());
}

void MainWindow::setupStatusBar()
{
    new StatusFields(ui->statusbar);
    lbStatusMain = new ElidedLabel(tr("Старт программы"), ElidedLabel::StateRank, this);
    lbStatusCan = new ElidedLabel(QStringLiteral("unkhown"), ElidedLabel::StateRank, this);
    lbStatusPort = new ElidedLabel(QStringLiteral("unkhown"), ElidedLabel::StateRank, this);
    lbStatusMain->setObjectName(QStringLiteral("lbStatusMain"));
    lbStatusCan->setObjectName(QStringLiteral("lbStatusCan"));
    lbStatusPort->setObjectName(QStringLiteral("lbStatusPort"));
    ui->statusbar->addWidget(new QLabel(tr("Статус: "), this));
    ui->statusbar->addWidget(lbStatusMain);
    ui->statusbar->addWidget(new QLabel(QStringLiteral("| CAN: "), this));
    ui->statusbar->addWidget(lbStatusCan);
    ui->statusbar->addWidget(new QLabel(QStringLiteral("| COM port:"), this));
    ui->statusbar->addWidget(lbStatusPort);
    lbStatusRate = new ElidedLabel(ElidedLabel::FlowRank, this);
    lbStatusRate->setObjectName(QStringLiteral("lbStatusRate"));
    ui->statusbar->addPermanentWidget(lbStatusRate);
    load = new LoadMeter(ui->statusbar, this);
    recording = new RecordingControl(ui->statusbar, session->recorder(), this);
    saver = new LogSaver(this, ui->statusbar, model);
    connect(saver, &LogSaver::status, this, &MainWindow::onStatusMain);
}

void MainWindow::setupSignals()
{
    dbc = new DbcLoader(this, ui->actionLoadDbc, ui->actionForgetDbc);
    ui->signalsPage->attach(&dbc->signalSet(), model);
    connect(dbc, &DbcLoader::changed, ui->signalsPage, &SignalsPage::onSignalSetChanged);
    connect(dbc, &DbcLoader::status, this, &MainWindow::onStatusMain);
    connect(ui->signalsPage, &SignalsPage::status, this, &MainWindow::onStatusMain);
    connect(dbc, &DbcLoader::filesChanged, this, [this](const QStringList &files) {
        config.dbcFiles = files;
        session->setDbcFiles(files);
    });
    new SignalSelection(pager, ui->tableView, statistics, ui->tableView_2, ui->signalsPage);
    new LogSignalTips(ui->tableView, pager->page(), &dbc->signalSet());
    statisticsView->showNames(dbc);
    bitPanel->showSignals(dbc);
    connect(ui->signalsPage, &SignalsPage::messageSelected, bitPanel, &BitPanel::showId);
    dbcEditor = new DbcEditor(this, dbc, ui->actionSaveDbc, ui->actionSaveDbcAs);
    connect(dbcEditor, &DbcEditor::status, this, &MainWindow::onStatusMain);
    connect(bitPanel, &BitPanel::signalRequested, dbcEditor, &DbcEditor::createSignal);
    connect(bitPanel, &BitPanel::signalEditRequested, dbcEditor, &DbcEditor::editSignal);
    connect(bitPanel, &BitPanel::messageEditRequested, dbcEditor, &DbcEditor::editMessage);
    saver->decodeWith(&dbc->signalSet());
    dbc->load(config.dbcFiles);
    tools = new SignalTools(this, model, &dbc->signalSet(), ui->actionFindSignal,
                            ui->actionMarkFields, ui->actionCompare);
    tools->setMomentSource([this]() -> std::optional<qint64> {
        const int row = pager->currentRow();
        return row < 0 ? std::nullopt : std::optional<qint64>(model->frameAt(row).time);
    });
    connect(tools, &SignalTools::candidateSelected, bitPanel,
            [this](quint32 id, bool extended, int start, int length, bool motorola) {
                bitPanel->showCandidate(id, extended, start, length, motorola);
                ui->tabWidget->setCurrentWidget(bitPanel);
            });
    tools->setSelectionSource([this] { return pager->selection(); });
    connect(statisticsView, &StatisticsView::findSignalRequested, tools, &SignalTools::findIn);
    connect(bitPanel, &BitPanel::findSignalRequested, tools, &SignalTools::findIn);
    connect(tools, &SignalTools::createSignalRequested, dbcEditor, &DbcEditor::createFoundSignal);
    connect(tools, &SignalTools::marksFound, bitPanel, &BitPanel::showMarks);
    connect(tools, &SignalTools::identifierSelected, bitPanel,
            [this](quint32 id, bool extended) { bitPanel->showId(id, extended); });
}

void MainWindow::loadConfig()
{
    if (!settings)
        settings = new QSettings(QLatin1String(AppInfo::Organisation),
                                 QLatin1String(AppInfo::Application), this);
    config = loadSettings(*settings);
}

// Connection

void MainWindow::onConnectPort()
{
    if (port && port->isOpen())
        closePort(port->portName() + tr(" закрыт"));
    else
        openPort();
}

void MainWindow::on_actionOpenPort_triggered()
{
    onConnectPort();
}

void MainWindow::openPort()
{
    if (port)
        port->deleteLater(); // closed already; each connection gets a fresh port
    port = new QSerialPort(this);
    port->setPortName(config.portName);
    port->setBaudRate(config.baudRate.toInt(), QSerialPort::AllDirections);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    port->setReadBufferSize(512);
    connected = port->open(QIODevice::ReadWrite);
    if (!connected) {
        onStatusSerialPort(port->portName() + tr(" ошибка соединения"));
        return;
    }
    tester = new CanTester(port, this);
    connect(tester, &CanTester::readyPacket, this, &MainWindow::onAddPacket);
    connect(tester, &CanTester::sendBuffer, this, &MainWindow::onReadBuffer);
    // A device that goes away reports a resource error (USB unplugged) or a read error (the line
    // hung up: a tty read returns nothing, again and again). Queued, so the port is closed only
    // after it has finished reporting.
    QPointer<QSerialPort> watched(port);
    connect(
        port, &QSerialPort::errorOccurred, this,
        [this, watched](QSerialPort::SerialPortError error) {
            const bool gone =
                error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
            if (gone && watched && watched == port)
                onPortLost(watched);
        },
        Qt::QueuedConnection);
    onStatusSerialPort(port->portName() + tr(" открыт"));
    onStatusCan(tr("Старт тестер"));
    recording->begin();
    session->attach(tester, sessionOptions(config));
}

void MainWindow::closePort(const QString &status)
{
    if (tester)
        tester->onReadyRead(); // take what already arrived before the link goes
    recording->end();
    session->detach();
    port->close();
    delete tester;
    tester = nullptr;
    connected = false;
    onRefreshView();
    onStatusSerialPort(status);
}

// The device went away (unplugged, or the line hung up): a disconnect that keeps the log.
void MainWindow::onPortLost(QSerialPort *lost)
{
    if (!lost->isOpen() || !tester)
        return;
    closePort(lost->portName() + tr(" ошибка соединения"));
}

// Receive path

void MainWindow::onAddPacket()
{
    if (!tester || !model)
        return;
    const TimedPacket frame{tester->lastTime(), tester->lastPacket()};
    ++framesSeen;
    session->take(frame);
    load->add(frame);
    logFrame(frame);
}

// A received frame, live or from a file: counted always, logged when the filters let it.
void MainWindow::logFrame(const TimedPacket &frame)
{
    qint64 row = -1;
    if (filter.matches(frame.packet)) {
        row = model->rowCount() + model->pendingRows();
        logLive(frame);
    }
    analyse(frame, row);
    scheduleRefresh();
}

// Every received frame, logged at `row` or not logged (-1), feeds the pages that study the bus.
void MainWindow::analyse(const TimedPacket &frame, qint64 row)
{
    statistics->count(frame);
    ui->diagnosticsPage->add(frame, row);
    bitPanel->add(frame);
}

bool MainWindow::onFilterView(CanPacket packet)
{
    return filter.matchDirection(packet);
}

bool MainWindow::onFilterID(CanPacket packet)
{
    return filter.matchId(packet);
}

void MainWindow::onSetStat(CanPacket packet)
{
    statistics->count(packet);
}

// Transmit path

void MainWindow::onSendPacket(CanPacket packet)
{
    if (!connected || !tester)
        return;
    const int written = tester->writePacket(packet);
    onStatusCan(tr("Запись %1 байт").arg(written));
    const TimedPacket frame{TimeOfDay::nowUsec(), packet};
    statistics->count(frame);
    if (written <= 0) {
        onStatusCan(tr("Ошибка записи!"));
    } else {
        session->take(frame);
        if (onFilterView(packet) && filter.matchShown(packet))
            logLive(frame);
    }
    scheduleRefresh();
}

void MainWindow::onReadBuffer(QByteArray buffer)
{
    listing->addReply(buffer);
    scheduleRefresh();
}

// Module commands

void MainWindow::setupCommandTab()
{
    ModuleCommand::fillCommands(ui->lwCommand);
    fillCanSpeeds(ui->cbCanSpeed);
    load->followSpeed(ui->cbCanSpeed);
    ui->lwList->setStyleSheet(QStringLiteral("color:rgb(160,160,160);background-color:black;"));
    ui->lwList->addItem(QStringLiteral("Can USB list..."));
    listing = new ExchangeListing(ui->lwList, this);
}

void MainWindow::on_btSetSpeed_clicked()
{
    if (!connected)
        onConnectPort();
    const int code = ui->cbCanSpeed->currentData().toInt();
    sendCommand(ModuleCommand::message(ModuleCommand::SpeedMarker, code));
}

void MainWindow::on_btSendPacket_clicked()
{
    if (!connected)
        onConnectPort();
    if (!lastCommand) {
        QMessageBox::warning(this, tr("Отправка пакета"), tr("Не выбрана фукция!"));
        return;
    }
    const int code = lastCommand->data(Qt::UserRole).toInt();
    sendCommand(ModuleCommand::message(ModuleCommand::CommandMarker, code));
}

void MainWindow::on_lwCommand_itemDoubleClicked(QListWidgetItem *item)
{
    lastCommand = item;
    on_btSendPacket_clicked();
}

void MainWindow::sendCommand(const QByteArray &message)
{
    listing->addWritten(QStringLiteral("[WR] ") + byteListText(message));
    onSendBuffer(message);
}

void MainWindow::onSendBuffer(QByteArray buffer)
{
    if (!connected || !tester)
        return;
    const int written = tester->writeBuffer(buffer);
    onStatusCan(tr("Запись буфера %1 байт").arg(written));
}

void MainWindow::on_actionCanConfig_triggered()
{
    if (!connected)
        onConnectPort();
    auto *dialog = new CanConfig(this);
    connect(dialog, &CanConfig::sendBuffer, this, &MainWindow::onSendBuffer);
    dialog->exec();
    dialog->deleteLater();
}

// Identifier mask

void MainWindow::on_cbMASK_currentIndexChanged(int index)
{
    Q_UNUSED(index)
    filter.setIdMode(ui->cbMASK->currentData().toInt()); // the new mode applies from now on
    if (FrameFilter::usesMask(filter.idModeCode()))
        on_actionMask_triggered();
    refilterLoaded();
}

void MainWindow::on_actionMask_triggered()
{
    const int mode = ui->cbMASK->currentData().toInt();
    if (!FrameFilter::usesMask(mode)) {
        QMessageBox::warning(this, tr("Установка маски ID"),
                             tr("Выберите соответствующий фильтр!"));
        return;
    }
    auto *dialog = new FilterMask(mode == FrameFilter::StandardMask ? 11 : 29, this);
    dialog->onValueMask(int(filter.mask()));
    dialog->onValueCode(int(filter.code()));
    connect(dialog, &FilterMask::setMaskCode, this, &MainWindow::onSetMaskCode);
    if (dialog->exec() == QDialog::Accepted) {
        filter.setMask(dialog->maskValue(), dialog->codeValue());
        refilterLoaded();
    }
    dialog->deleteLater();
}

void MainWindow::onSetMaskCode(uint32_t mask, uint32_t code)
{
    filter.setMask(mask, code);
}

// Transmit list

void MainWindow::on_actionSetRequsestPackets_triggered()
{
    if (!port || !port->isOpen()) {
        QMessageBox::warning(this, tr("Отправка кадров"),
                             tr("Порт закрыт! уставновите соединение!"));
        return;
    }
    auto *dialog = new SendDialog(this);
    connect(dialog, &SendDialog::sendStatus, this, &MainWindow::onStatusMain);
    connect(dialog, &SendDialog::sendPacket, this, &MainWindow::onSendPacket);
    dialog->readPackets(transmitListPath());
    if (dialog->exec() == QDialog::Accepted)
        dialog->writePackets(transmitListPath());
    dialog->deleteLater();
}

QString MainWindow::transmitListPath() const
{
    return TransmitListLocation::path(QCoreApplication::applicationDirPath(), config.fileName);
}

// View refresh: rows and statistics reach the screen at a bounded rate, never once per frame.

void MainWindow::scheduleRefresh()
{
    if (refreshTimer->isActive())
        return;
    const qint64 since = lastRefresh.elapsed();
    refreshTimer->start(since >= RefreshMs ? 0 : int(RefreshMs - since));
}

void MainWindow::onRefreshView()
{
    refreshTimer->stop();
    lastRefresh.restart();
    if (model->flushRows() > 0)
        pager->onRowsAdded();
    listing->refresh();
    ui->signalsPage->refresh();
    ui->diagnosticsPage->refresh();
    // The statistics table is brought up to date only while its page is shown: formatting rows
    // nobody looks at is the largest cost of a busy bus with many identifiers.
    if (ui->tabWidget->currentWidget() == ui->tab_2)
        statistics->refresh();
    bitPanel->refresh();
}

// Status bar

// What a user needs to trust a capture: the frame rate, and whether frames were lost.
void MainWindow::onRateTick()
{
    const double seconds = qMax<qint64>(1, rateClock.restart()) / 1000.0;
    const quint64 rate = quint64((framesSeen - framesAtLastTick) / seconds + 0.5);
    framesAtLastTick = framesSeen;
    const quint64 lost = session->lostFrames();
    QString text = tr("Кадров/с: %1").arg(rate);
    if (lost > 0)
        text += tr(" | Потеряно кадров: %1").arg(lost);
    lbStatusRate->setText(text);
    lbStatusRate->setStyleSheet(lost > 0 ? QStringLiteral("color: #C62828;") : QString());
}

void MainWindow::onShowStatus(QString state, int page)
{
    QLabel *fields[] = {lbStatusMain, lbStatusCan, lbStatusPort};
    if (page >= 0 && page < 3)
        fields[page]->setText(state);
}

void MainWindow::onStatusSerialPort(QString status)
{
    lbStatusPort->setText(status);
    ui->actionOpenPort->setIcon(QIcon(connected ? QStringLiteral(":/images/usbon.png")
                                                : QStringLiteral(":/images/usboff.png")));
    ui->actionReplay->setEnabled(connected && opener->hasCapture());
}

void MainWindow::onStatusCan(QString status)
{
    lbStatusCan->setText(status);
}

void MainWindow::onStatusMain(QString status)
{
    lbStatusMain->setText(status);
}

// Commands of the form

void MainWindow::on_actionExit_triggered()
{
    close();
}

// Captures from files

void MainWindow::setupOpener()
{
    captureLog = std::make_unique<CaptureLog>(model);
    unsaved = std::make_unique<UnsavedRowsGuard>(this);
    connect(saver, &LogSaver::saved, this,
            [this](qint64 rows) { unsaved->saved(rows, model->store().size()); });
    opener = new CaptureOpener(this, ui->statusbar);
    connect(opener, &CaptureOpener::status, this, &MainWindow::onStatusMain);
    connect(opener, &CaptureOpener::starting, this, [this](bool reread) {
        if (reread) // the statistics already hold every frame of it
            return captureLog->beginReread();
        captureLog->beginCapture();
        unsaved->dropped();
        ui->diagnosticsPage->clear();
        statistics->clear(FrameStatistics::Clock::Capture);
        bitPanel->clear();
    });
    connect(opener, &CaptureOpener::frames, this, [this](const QVector<TimedPacket> &batch) {
        for (const TimedPacket &frame : batch)
            logCaptureFrame(frame);
    });
    connect(opener, &CaptureOpener::loaded, this, [this](const QString &path) {
        captureLog->endCapture();
        setWindowTitle(tr("Veltrica. Анализатор пакетов Quorvex %1 — %2")
                           .arg(QLatin1String(AppInfo::Version), QFileInfo(path).fileName()));
        ui->actionReplay->setEnabled(connected);
    });
}

void MainWindow::openCapture(const QString &path)
{
    if (connected)
        onStatusMain(tr("Журнал открывается при закрытом порте"));
    else if (unsaved->mayDrop(tr("Открыть другой журнал")))
        opener->load(path);
}

void MainWindow::on_actionOpenLog_triggered()
{
    if (connected)
        onStatusMain(tr("Журнал открывается при закрытом порте"));
    else if (unsaved->mayDrop(tr("Открыть другой журнал")))
        opener->open(config.workDir);
}

// A live row reaches the log; it is in a file only while a recording takes it.
void MainWindow::logLive(const TimedPacket &frame)
{
    captureLog->addLiveFrame(frame);
    unsaved->logged(session->recorder()->isRecording());
}

void MainWindow::stop()
{
    unsaved->dropped();
    close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if ((!dbcEditor || dbcEditor->mayDiscard()) && unsaved->mayDrop(tr("Закрыть программу")))
        QMainWindow::closeEvent(event);
    else
        event->ignore();
}

void MainWindow::logCaptureFrame(const TimedPacket &frame)
{
    qint64 row = -1;
    if (filter.matches(frame.packet)) {
        row = model->rowCount() + model->pendingRows();
        captureLog->addCaptureFrame(frame);
    }
    if (!captureLog->isRereading())
        analyse(frame, row);
    scheduleRefresh();
}

// A loaded capture follows the filters, connected or not: it is read again with the new ones.
void MainWindow::refilterLoaded()
{
    if (opener && opener->hasCapture())
        opener->reload();
}

void MainWindow::on_actionReplay_triggered()
{
    onRefreshView();
    auto *dialog = new ReplayDialog(captureLog->captureSnapshot(),
                                    captureLog->captureRowsOf(pager->selectedRows()), this);
    connect(dialog, &ReplayDialog::sendPacket, this, &MainWindow::onSendPacket);
    dialog->exec();
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
    if (dialog->exec() == QDialog::Accepted)
        config = dialog->getSettings();
    dialog->deleteLater();
}

void MainWindow::on_cbFormat_currentIndexChanged(int index)
{
    Q_UNUSED(index)
    const int format = ui->cbFormat->currentData().toInt();
    LogColumns::fit(ui->tableView, format);
    model->setFormat(format);
    statisticsView->setFormat(format);
    ui->tableView->viewport()->update();
}

void MainWindow::on_btClearTable_clicked()
{
    if (!unsaved->mayDrop(tr("Очистить журнал")))
        return;
    unsaved->dropped();
    listing->clear();
    model->clear();
    captureLog->clear();
    ui->diagnosticsPage->clear();
    statistics->clear();
    bitPanel->clear();
    opener->forget();
    ui->actionReplay->setEnabled(false);
}

void MainWindow::on_btSaveTable_clicked()
{
    onRefreshView();
    saver->save(config.workDir);
}

void MainWindow::on_chkTX_stateChanged(int arg1)
{
    ui->chkTX->setText(arg1 < 1 ? tr("TX пакеты игнорировать") : tr("Отображать TX пакеты"));
    config.showTx = arg1 != 0;
    filter.setShowTx(config.showTx);
    refilterLoaded();
}

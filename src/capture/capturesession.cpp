// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/capturesession.h"

#include "capture/capturerecorder.h"
#include "capture/recordingfolder.h"
#include "capture/recordingpruner.h"
#include "capture/triggerset.h"
#include "link/cantester.h"
#include "link/portprobe.h"
#include "link/tarvixprotocol.h"
#include "link/timedpacket.h"
#include "link/timeofday.h"
#include "net/socketcandserver.h"
#include "signals/dbcdatabase.h"

#include <QDateTime>
#include <QSerialPort>
#include <QStorageInfo>
#include <QTimer>

CaptureSession::CaptureSession(QObject *parent)
    : QObject(parent), writer(new CaptureRecorder(this)), server(new SocketcandServer(this)),
      retryTimer(new QTimer(this)), database(std::make_unique<DbcDatabase>()),
      triggers(std::make_unique<TriggerSet>())
{
    retryTimer->setInterval(RetryMs);
    connect(retryTimer, &QTimer::timeout, this, &CaptureSession::retry);
    connect(writer, &CaptureRecorder::failed, this, &CaptureSession::onRecordingFailed);
    connect(server, &SocketcandServer::sendPacket, this, &CaptureSession::onSendPacket);
    connect(server, &SocketcandServer::setStatus, this, &CaptureSession::setStatus);
}

// The caller's link may be gone by now (a window deletes its port first): it is not used.
CaptureSession::~CaptureSession()
{
    stop();
    if (attached) {
        writer->stop();
        triggers->closeAll();
    }
}

QByteArray CaptureSession::speedMessage(int code)
{
    const char marker = char(TarvixProtocol::SpeedMarker);
    return QByteArray() + marker + char(code) + marker;
}

bool CaptureSession::start(const SessionOptions &wanted)
{
    stop();
    detach();
    options = wanted;
    failure.clear();
    portProblem.clear();
    const bool writes = options.record || !options.triggers.isEmpty();
    const QString folder =
        writes ? RecordingFolder::problem(options.directory, options.makeDirectory) : QString();
    if (!folder.isEmpty()) {
        failure =
            QStringLiteral("cannot write in ") + options.directory + QStringLiteral(": ") + folder;
        return false;
    }
    server->setMaxClients(options.serverClients);
    server->setOpenTimeoutMs(options.serverOpenTimeoutMs);
    if (options.serve && !listen(options.serverAddress, options.serverPort, options.allowSend)) {
        failure = QStringLiteral("socketcand: ") + failure;
        return false;
    }
    prepare();
    lostSeen = 0;
    running = true;
    retryTimer->start();
    connectPort();
    return true;
}

void CaptureSession::stop()
{
    if (!running)
        return;
    running = false;
    retryTimer->stop();
    if (port)
        closePort(QString());
    triggers->closeAll();
    server->close();
}

void CaptureSession::reopen()
{
    if (!tester || !options.record)
        return;
    writer->stop();
    beginFile();
}

void CaptureSession::mark()
{
    if (running || attached)
        triggers->fire(TriggerRule::Kind::Manual, TimeOfDay::nowUsec());
}

void CaptureSession::attach(CanTester *link, const SessionOptions &wanted)
{
    stop();
    detach();
    const SessionOptions kept = options;
    options = wanted;
    options.serve = kept.serve; // the server and the triggers run on as they were set up
    options.allowSend = kept.allowSend;
    options.triggers = kept.triggers;
    prepare();
    tester = link;
    attached = true;
    lostSeen = lostFrames();
    retryTimer->start();
    beginFile();
}

void CaptureSession::detach()
{
    if (!attached)
        return;
    attached = false;
    retryTimer->stop();
    writer->stop();
    lostEarlier += tester ? tester->lostFrames() : 0;
    tester = nullptr;
    triggers->closeAll();
}

void CaptureSession::setTriggers(const QVector<TriggerRule> &rules)
{
    options.triggers = rules;
    triggers->setRules(rules, options.directory);
    triggers->setDatabase(database.get());
}

bool CaptureSession::listen(const QHostAddress &address, quint16 port, bool allowSend)
{
    server->close();
    server->setAllowSend(allowSend);
    options.allowSend = allowSend;
    options.serve = server->listen(address, port);
    if (!options.serve)
        failure = server->errorString();
    return options.serve;
}

void CaptureSession::closeServer()
{
    server->close();
    options.serve = false;
}

// Triggers and the signals they watch, as the options say.
void CaptureSession::prepare()
{
    triggers->setRules(options.triggers, options.directory);
    loadDatabase();
}

void CaptureSession::setDbcFiles(const QStringList &files)
{
    options.dbcFiles = files;
    loadDatabase();
}

void CaptureSession::loadDatabase()
{
    database->clear();
    for (const QString &path : options.dbcFiles)
        database->load(path);
    triggers->setDatabase(database.get());
}

void CaptureSession::connectPort()
{
    delete port;
    port = new QSerialPort(options.portName, this);
    port->setBaudRate(options.baudRate);
    port->setReadBufferSize(512);
    if (!port->open(QIODevice::ReadWrite)) {
        sayPortProblem();
        delete port;
        port = nullptr;
        return;
    }
    portProblem.clear();
    tester = new CanTester(port, this);
    connect(tester, &CanTester::readyPacket, this, &CaptureSession::onReadyPacket);
    connect(port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError)
            QTimer::singleShot(0, this, [this] {
                closePort(QStringLiteral("module gone, looking for it every second"));
            });
    });
    if (options.canSpeed >= 0)
        tester->writeBuffer(speedMessage(options.canSpeed));
    emit setStatus(options.portName + QStringLiteral(" connected"));
    beginFile();
}

// Said once for each new reason, not every second.
void CaptureSession::sayPortProblem()
{
    QString why = PortProbe::problem(options.portName);
    if (why.isEmpty())
        why = port->errorString();
    if (why == portProblem)
        return;
    portProblem = why;
    emit setStatus(options.portName + QStringLiteral(": no module (") + why +
                   QStringLiteral("), looking for it every second"));
}

// Everything read while connected is taken before the port goes.
void CaptureSession::closePort(const QString &why)
{
    if (!tester)
        return;
    tester->onReadyRead();
    writer->stop();
    lostEarlier += tester->lostFrames();
    delete tester.data();
    tester = nullptr;
    port->close();
    port->deleteLater();
    port = nullptr;
    if (!why.isEmpty())
        emit setStatus(options.portName + QStringLiteral(": ") + why);
}

void CaptureSession::beginFile()
{
    recordingDown = false;
    if (!options.record)
        return;
    if (!writer->start(options.directory, options.rotateBytes, QDateTime::currentDateTime()))
        return; // reported through failed()
    if (options.keepBytes > 0)
        RecordingPruner::prune(options.directory, options.keepBytes, writer->filePath());
    emit setStatus(QStringLiteral("recording to ") + writer->filePath());
}

void CaptureSession::retry()
{
    const quint64 lost = lostFrames();
    if (lost > lostSeen)
        triggers->fire(TriggerRule::Kind::Lost, TimeOfDay::nowUsec());
    lostSeen = lost;
    triggers->check(TimeOfDay::nowUsec());
    if (!tester) {
        if (running)
            connectPort();
        return;
    }
    if (options.keepBytes > 0 && writer->isRecording())
        RecordingPruner::prune(options.directory, options.keepBytes, writer->filePath());
    if (recordingDown && QStorageInfo(options.directory).bytesAvailable() >= ResumeFreeBytes) {
        beginFile();
    }
}

void CaptureSession::onRecordingFailed(const QString &reason)
{
    recordingDown = true;
    emit setStatus(QStringLiteral("recording stopped, frames not written until there is room: ") +
                   reason);
}

void CaptureSession::onReadyPacket()
{
    take({tester->lastTime(), tester->lastPacket()});
}

// A client's frame goes out as the transmit list sends one, and is recorded as transmitted.
void CaptureSession::onSendPacket(const CanPacket &packet)
{
    if (attached) {
        emit sendPacket(packet);
        return;
    }
    if (!tester || tester->writePacket(packet) <= 0)
        return;
    take({TimeOfDay::nowUsec(), packet});
}

void CaptureSession::take(const TimedPacket &frame)
{
    ++frames;
    if (options.record) {
        if (writer->isRecording())
            writer->record(frame);
        else
            ++unwritten;
    }
    triggers->add(frame);
    server->publish(frame);
    emit readyFrame(frame);
}

quint64 CaptureSession::unwrittenFrames() const
{
    return unwritten + writer->unwrittenFrames();
}

quint64 CaptureSession::lostFrames() const
{
    return lostEarlier + (tester ? tester->lostFrames() : 0);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/capturesession.h"

#include "capture/capturerecorder.h"
#include "capture/recordingfolder.h"
#include "capture/recordingpruner.h"
#include "capture/triggerset.h"
#include "link/cansource.h"
#include "link/modulecommand.h"
#include "link/timedpacket.h"
#include "link/timeofday.h"
#include "net/socketcandserver.h"
#include "signals/dbcdatabase.h"

#include <QDateTime>
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
    // A client's frame goes out as the transmit list sends one, and is recorded as transmitted.
    connect(server, &SocketcandServer::sendPacket, this, &CaptureSession::send);
    connect(server, &SocketcandServer::setStatus, this, &CaptureSession::setStatus);
}

CaptureSession::~CaptureSession()
{
    stop();
}

bool CaptureSession::start(const SessionOptions &wanted)
{
    stop();
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
    connectSource();
    return true;
}

void CaptureSession::stop()
{
    close();
    server->close();
}

void CaptureSession::reopen()
{
    if (!isConnected() || !options.record)
        return;
    writer->stop();
    beginFile();
}

void CaptureSession::mark()
{
    if (running)
        triggers->fire(TriggerRule::Kind::Manual, TimeOfDay::nowUsec());
}

bool CaptureSession::open(const SessionOptions &wanted)
{
    close();
    const SessionOptions kept = options;
    options = wanted;
    options.retry = false;
    options.serve = kept.serve; // the server and the triggers run on as they were set up
    options.allowSend = kept.allowSend;
    options.triggers = kept.triggers;
    failure.clear();
    prepare();
    if (!connectSource())
        return false;
    running = true;
    lostSeen = lostFrames();
    retryTimer->start();
    return true;
}

void CaptureSession::close()
{
    if (!running)
        return;
    running = false;
    retryTimer->stop();
    if (isConnected())
        closeSource();
    triggers->closeAll();
}

int CaptureSession::send(const CanPacket &packet)
{
    if (!isConnected())
        return -1;
    const int written = link->send(packet);
    if (written > 0)
        take({TimeOfDay::nowUsec(), packet});
    return written;
}

int CaptureSession::sendCommand(const QByteArray &message)
{
    return isConnected() ? link->sendCommand(message) : -1;
}

void CaptureSession::setSource(CanSource *source)
{
    if (link == source)
        return;
    close();
    if (link)
        lostEarlier += link->lostFrames();
    delete link;
    link = source;
    linkGiven = source != nullptr;
    if (link)
        watch();
}

bool CaptureSession::isConnected() const
{
    return link && link->isOpen();
}

QString CaptureSession::portName() const
{
    return link ? link->description() : options.portName;
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

// Each connection of the window may name another port; a source set by setSource() stays.
void CaptureSession::watch()
{
    link->setParent(this);
    connect(link, &CanSource::opened, this, &CaptureSession::onOpened);
    connect(link, &CanSource::readyFrame, this, &CaptureSession::take);
    connect(link, &CanSource::readyReply, this, &CaptureSession::readyReply);
    connect(link, &CanSource::failed, this, &CaptureSession::onSourceFailed);
}

bool CaptureSession::connectSource()
{
    if (!linkGiven) {
        if (link)
            lostEarlier += link->lostFrames();
        delete link;
        link = options.source.create(options.portName, options.baudRate, this);
        watch();
    }
    if (link->open())
        return true;
    failure = link->errorString();
    if (options.retry)
        sayPortProblem();
    return false;
}

void CaptureSession::onOpened()
{
    portProblem.clear();
    if (options.canSpeed >= 0 && link->hasCommands())
        link->sendCommand(ModuleCommand::speedMessage(options.canSpeed));
    emit setStatus(sourceName() + QStringLiteral(" connected"));
    emit linkOpened();
    beginFile();
}

// The source went away: looked for again, or the connection ends.
// The module by the port it was asked for, other sources as they name themselves.
QString CaptureSession::sourceName() const
{
    return options.source.isModule() || !link ? options.portName : link->description();
}

QString CaptureSession::goneText() const
{
    return options.source.isModule() ? QStringLiteral("module gone")
                                     : QStringLiteral("source gone");
}

QString CaptureSession::missingText() const
{
    return options.source.isModule() ? QStringLiteral("no module") : QStringLiteral("no source");
}

void CaptureSession::onSourceFailed(const QString &reason)
{
    Q_UNUSED(reason)
    if (options.retry) {
        emit setStatus(sourceName() + QStringLiteral(": ") + goneText() +
                       QStringLiteral(", looking for it every second"));
        endConnection(true);
        return;
    }
    running = false;
    retryTimer->stop();
    endConnection(true);
    triggers->closeAll();
}

// Said once for each new reason, not every second.
void CaptureSession::sayPortProblem()
{
    const QString why = link->errorString();
    if (why == portProblem)
        return;
    portProblem = why;
    emit setStatus(sourceName() + QStringLiteral(": ") + missingText() + QStringLiteral(" (") +
                   why + QStringLiteral("), looking for it every second"));
}

// Everything read while connected is taken before the source closes.
void CaptureSession::closeSource()
{
    link->close();
    endConnection(false);
}

void CaptureSession::endConnection(bool lost)
{
    emit linkClosing();
    writer->stop();
    emit linkClosed(lost);
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
    if (!isConnected()) {
        if (running && options.retry)
            connectSource();
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
    return lostEarlier + (link ? link->lostFrames() : 0);
}

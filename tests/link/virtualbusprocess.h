// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>

// A virtualcan bus served by the virtualcan-bus helper in a child process, on a port of its own,
// so tests running side by side never share a bus. Every virtualcan device of this process then
// joins that bus as a client: Qt's plugin serves one bus per process, on the port the first
// device asked for.
class VirtualBusProcess final
{
public:
    explicit VirtualBusProcess(const QString &program) : program(program) {}
    ~VirtualBusProcess() { stop(); }

    // Starts the helper on `busPort` (0: a free one) and waits until its bus is up.
    bool start(quint16 busPort = 0)
    {
        port = busPort != 0 ? busPort : freePort();
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, {url(QStringLiteral("can0"))});
        return waitLine("ready");
    }
    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.kill();
        process.waitForFinished(30000);
    }
    // The interface name a device of this bus opens: "tcp://127.0.0.1:PORT/can0".
    QString url(const QString &interfaceName) const
    {
        return QStringLiteral("tcp://127.0.0.1:%1/%2").arg(port).arg(interfaceName);
    }
    // The helper sends `frames` numbered frames on can0; waitLine("sent") waits for the last.
    void send(qint64 frames) { process.write("send " + QByteArray::number(frames) + '\n'); }
    // The same as 64-byte CAN FD frames, the bit rate switched.
    void sendFd(qint64 frames) { process.write("sendfd " + QByteArray::number(frames) + '\n'); }
    bool waitLine(const QByteArray &start)
    {
        while (!process.canReadLine()) {
            if (!process.waitForReadyRead(120000))
                return false;
        }
        return process.readLine().startsWith(start);
    }
    quint16 busPort() const { return port; }

    static quint16 freePort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

private:
    QString program;
    QProcess process;
    quint16 port = 0;
};

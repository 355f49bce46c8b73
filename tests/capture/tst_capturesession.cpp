// SPDX-License-Identifier: GPL-3.0-or-later
// The capture session over a source the test drives: the window's connection (no retry), the
// recorder's (look again every second), sending, and the recording of every frame.
#include "capture/capturerecorder.h"
#include "capture/capturesession.h"
#include "link/modulecommand.h"
#include "support/testpackets.h"
#include "support/testsource.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

SessionOptions windowOptions(const QString &directory, bool record)
{
    SessionOptions options;
    options.directory = directory;
    options.record = record;
    options.retry = false;
    return options;
}

int linesIn(const QString &directory)
{
    int lines = 0;
    for (const QFileInfo &info : QDir(directory).entryInfoList({"*.log"}, QDir::Files)) {
        QFile file(info.filePath());
        if (file.open(QIODevice::ReadOnly))
            lines += file.readAll().count('\n');
    }
    return lines;
}

} // namespace

class TestCaptureSession : public QObject
{
    Q_OBJECT

private slots:
    void windowConnectionEndsWhenTheSourceGoes()
    {
        QTemporaryDir dir;
        CaptureSession session;
        auto *source = new TestSource;
        session.setSource(source);
        QSignalSpy opened(&session, &CaptureSession::linkOpened);
        QSignalSpy closing(&session, &CaptureSession::linkClosing);
        QSignalSpy closed(&session, &CaptureSession::linkClosed);
        QVector<TimedPacket> frames;
        connect(&session, &CaptureSession::readyFrame, this,
                [&](const TimedPacket &frame) { frames.append(frame); });
        SessionOptions options = windowOptions(dir.path(), true);
        options.canSpeed = 3;
        QVERIFY(session.open(options));
        QCOMPARE(opened.count(), 1);
        QCOMPARE(source->commands, QList<QByteArray>{ModuleCommand::speedMessage(3)});
        QVERIFY(session.recorder()->isRecording());

        for (uint32_t n = 0; n < 10; ++n)
            source->inject({qint64(n) * 1000, numberedFrame(n)});
        CanPacket out = hexFrame(0x7E0, "0210");
        out.direct = CanPacket::Transmitted;
        QCOMPARE(session.send(out), 16);
        QCOMPARE(source->sent.size(), 1);
        QCOMPARE(frames.size(), 11); // what we sent is a frame of the capture too
        QCOMPARE(frames.last().packet.id, 0x7E0u);
        QCOMPARE(session.frameCount(), 11u);

        source->goAway();
        QCOMPARE(closing.count(), 1);
        QCOMPARE(closed.count(), 1);
        QCOMPARE(closed.first().first().toBool(), true);
        QVERIFY(!session.isConnected());
        QCOMPARE(session.send(out), -1);
        QCOMPARE(session.sendCommand("x"), -1);
        QCOMPARE(linesIn(dir.path()), 11); // every frame before the loss is in the file
        QCOMPARE(session.unwrittenFrames(), 0u);
        // The window asked for no retry: nothing opens it again.
        QTest::qWait(CaptureSession::RetryMs + 200);
        QCOMPARE(opened.count(), 1);
    }

    void windowConnectionThatCannotOpen()
    {
        QTemporaryDir dir;
        CaptureSession session;
        auto *source = new TestSource;
        source->refuse = true;
        session.setSource(source);
        QSignalSpy opened(&session, &CaptureSession::linkOpened);
        QVERIFY(!session.open(windowOptions(dir.path(), true)));
        QCOMPARE(session.errorString(), QStringLiteral("refused"));
        QCOMPARE(opened.count(), 0);
        QVERIFY(QDir(dir.path()).entryList({"*.log"}).isEmpty());
    }

    // The recorder looks for its source every second, says why once, and records each
    // connection to a file of its own.
    void recorderLooksAgain()
    {
        QTemporaryDir dir;
        CaptureSession session;
        auto *source = new TestSource;
        source->refuse = true;
        session.setSource(source);
        QSignalSpy status(&session, &CaptureSession::setStatus);
        QSignalSpy opened(&session, &CaptureSession::linkOpened);
        SessionOptions options;
        options.directory = dir.path();
        QVERIFY(session.start(options));
        QCOMPARE(status.count(), 1);
        QVERIFY(status.first().first().toString().contains(QStringLiteral("refused")));
        source->refuse = false;
        QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 1, 10000);
        source->inject({1000, numberedFrame(1)});
        source->goAway();
        QVERIFY(!session.isConnected());
        QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 2, 10000);
        source->inject({2000, numberedFrame(2)});
        session.stop();
        QCOMPARE(linesIn(dir.path()), 2);
        QCOMPARE(session.frameCount(), 2u);
    }
};

QTEST_MAIN(TestCaptureSession)
#include "tst_capturesession.moc"

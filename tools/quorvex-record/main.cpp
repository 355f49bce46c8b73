// SPDX-License-Identifier: GPL-3.0-or-later
// quorvex-record: records a Tarvix module without a window, and shares it over socketcand.

#include "capture/capturesession.h"
#include "link/canbussource.h"
#include "recordoptions.h"
#include "recordstatus.h"
#include "settings/appinfo.h"
#include "settings/appsettings.h"
#include "settings/languagechoice.h"
#include "signalwatch.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSettings>
#include <QTimer>
#include <csignal>
#include <cstdio>

namespace {

enum ExitCode { Success = 0, Failure = 1, BadUsage = 2 };
constexpr int StatusMs = 10000;

void say(const QString &text)
{
    std::fprintf(stderr, "quorvex-record: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

AppSettings storedSettings()
{
    const QSettings store(QLatin1String(AppInfo::Organisation),
                          QLatin1String(AppInfo::Application));
    return loadSettings(store);
}

} // namespace

int main(int argc, char *argv[])
{
    CanBusSource::pinTimeZone();
    QCoreApplication app(argc, argv);
    LanguageChoice::installTexts(LanguageChoice::stored(
        QSettings(QLatin1String(AppInfo::Organisation), QLatin1String(AppInfo::Application))));
    qSetMessagePattern(QStringLiteral("quorvex-record: %{message}"));
    // The adapters' plugins tell of their own sockets and servers; the status line says enough.
    QLoggingCategory::setFilterRules(
        QStringLiteral("*.debug=false\nqt.canbus.plugins.*.info=false"));
    RecordOptions options;
    QString message;
    switch (options.parse(app.arguments(), storedSettings(), message)) {
    case RecordOptions::Outcome::Help:
    case RecordOptions::Outcome::Version:
        std::printf("%s\n", message.toLocal8Bit().constData());
        return Success;
    case RecordOptions::Outcome::Error:
        say(message);
        return BadUsage;
    case RecordOptions::Outcome::CannotStart:
        say(QStringLiteral("cannot start: ") + message);
        return Failure;
    case RecordOptions::Outcome::Run:
        break;
    }

    CaptureSession session;
    QObject::connect(&session, &CaptureSession::setStatus, say);
    SignalWatch watch;
    for (int number : {SIGTERM, SIGINT, SIGHUP, SIGUSR1})
        watch.watch(number);
    ::signal(SIGPIPE, SIG_IGN);
    QObject::connect(&watch, &SignalWatch::readySignal, [&](int number) {
        if (number == SIGHUP || number == SIGUSR1) {
            number == SIGHUP ? session.reopen() : session.mark();
            return;
        }
        session.stop();
        app.quit();
    });
    if (!session.start(options.session)) {
        say(QStringLiteral("cannot start: ") + session.errorString());
        return Failure;
    }
    RecordStatus status;
    status.line(session);
    QTimer statusTimer;
    QObject::connect(&statusTimer, &QTimer::timeout, [&] { say(status.line(session)); });
    if (!options.quiet)
        statusTimer.start(StatusMs);
    const int code = app.exec();
    session.stop();
    say(status.line(session));
    return code;
}

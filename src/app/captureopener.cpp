// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/captureopener.h"

#include "capture/captureloader.h"
#include "formats/capturedamage.h"
#include "formats/captureformat.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

namespace {
constexpr int PollMs = 100;

QString openFilter()
{
    QStringList patterns;
    for (const CaptureFormat format : CaptureFormats::all())
        patterns << CaptureFormats::patterns(format);
    // candump's screen output is saved under any name; its suffix is usually ".txt".
    patterns << QStringLiteral("*.txt");
    return CaptureOpener::tr("Журналы CAN (%1);;").arg(patterns.join(QLatin1Char(' '))) +
           CaptureFormats::dialogFilters() + CaptureOpener::tr(";;Все файлы (*)");
}

// Where damage begins: its line in a text file, else its byte.
QString placeText(const CaptureDamage &damage)
{
    return damage.line > 0 ? CaptureOpener::tr("строка %1").arg(damage.line)
                           : CaptureOpener::tr("байт %1").arg(damage.offset);
}
} // namespace

CaptureOpener::CaptureOpener(QWidget *window, QStatusBar *bar)
    : QObject(window), window(window), loader(new CaptureLoader(this)),
      progress(new QProgressBar(bar)), cancelButton(new QPushButton(tr("Отмена"), bar)),
      poll(new QTimer(this))
{
    progress->setObjectName(QStringLiteral("pbLoad"));
    cancelButton->setObjectName(QStringLiteral("btLoadCancel"));
    progress->setRange(0, 1000);
    progress->setMaximumWidth(200);
    bar->addPermanentWidget(progress);
    bar->addPermanentWidget(cancelButton);
    showProgress(false);
    connect(cancelButton, &QPushButton::clicked, loader, &CaptureLoader::cancel);
    connect(poll, &QTimer::timeout, this, [this] { progress->setValue(loader->progress()); });
    connect(loader, &CaptureLoader::frames, this, &CaptureOpener::onFrames);
    connect(loader, &CaptureLoader::finished, this, &CaptureOpener::onFinished);
}

CaptureOpener::~CaptureOpener() = default;

bool CaptureOpener::isLoading() const
{
    return loader->isRunning();
}

void CaptureOpener::open(const QString &workDir)
{
    const QString chosen =
        QFileDialog::getOpenFileName(window, tr("Открыть журнал"), workDir, openFilter());
    if (!chosen.isEmpty())
        load(chosen);
}

void CaptureOpener::load(const QString &file)
{
    if (isLoading()) {
        loader->cancel();
        return;
    }
    if (!loader->start(file)) {
        refuse(file, loader->errorString());
        return;
    }
    pending = file;
    started = false;
    rereading = false;
    showProgress(true);
}

void CaptureOpener::reload()
{
    if (!hasCapture())
        return;
    if (isLoading()) {
        // Frames already taken went through the old filters: read it all again afterwards.
        rereadAgain = rereadAgain || pending == path;
        return;
    }
    load(path);
    rereading = isLoading();
}

void CaptureOpener::forget()
{
    path.clear();
    pending.clear();
    rereadAgain = false;
    if (isLoading())
        loader->cancel();
}

// Nothing is cleared before the file has given a frame: a file that cannot be read leaves the
// log as it was.
void CaptureOpener::onFrames(const QVector<TimedPacket> &batch)
{
    if (!started) {
        started = true;
        path = pending;
        emit starting(rereading);
    }
    emit frames(batch);
}

// Said where the user looks, in a box, and kept in the status bar.
void CaptureOpener::refuse(const QString &file, const QString &why)
{
    emit status(tr("Журнал не открыт: %1 (%2)").arg(why, QFileInfo(file).fileName()));
    // Opened, not executed: a capture may be running.
    auto *box =
        new QMessageBox(QMessageBox::Warning, tr("Открыть журнал"),
                        tr("Журнал не открыт:\n%1\n%2").arg(file, why), QMessageBox::Ok, window);
    box->setObjectName(QStringLiteral("openFailed"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void CaptureOpener::showProgress(bool shown)
{
    progress->setValue(0);
    progress->setVisible(shown);
    cancelButton->setVisible(shown);
    if (shown)
        poll->start(PollMs);
    else
        poll->stop();
}

void CaptureOpener::onFinished(bool ok, quint64 framesRead, quint64 skipped, const QString &error,
                               quint64 damaged, const CaptureDamage &firstDamage)
{
    showProgress(false);
    if (pending.isEmpty()) // forgotten meanwhile
        return;
    if (!started) {
        if (error.isEmpty() && !ok) // the user cancelled: nothing to tell
            emit status(tr("Журнал не открыт: %1 (%2)")
                            .arg(tr("открытие отменено"), QFileInfo(pending).fileName()));
        else
            refuse(pending, error.isEmpty() ? tr("в файле нет кадров") : error);
        return;
    }
    emit loaded(path);
    QString text = tr("Загружено кадров: %1").arg(framesRead);
    if (!ok)
        text = error.isEmpty()
                   ? tr("Загрузка прервана, кадров: %1").arg(framesRead)
                   : tr("Журнал прочитан не полностью (%1), кадров: %2").arg(error).arg(framesRead);
    if (skipped > 0)
        text += tr(" | Пропущено записей: %1").arg(skipped);
    if (damaged > 0)
        text += tr(", повреждённых мест: %1 (первое: %2)").arg(damaged).arg(placeText(firstDamage));
    emit status(text);
    if (rereadAgain) {
        rereadAgain = false;
        reload();
    }
}

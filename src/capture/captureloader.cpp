// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/captureloader.h"

#include "formats/captureformat.h"
#include "formats/capturereader.h"

#include <QCoreApplication>
#include <QFile>

CaptureLoader::CaptureLoader(QObject *parent) : QObject(parent)
{
}

CaptureLoader::~CaptureLoader()
{
    cancel();
    if (worker.joinable())
        worker.join();
}

bool CaptureLoader::start(const QString &path)
{
    if (running)
        return false;
    if (worker.joinable())
        worker.join();
    if (!QFile::exists(path)) {
        error = QCoreApplication::translate("CaptureLoader", "файл не найден");
        return false;
    }
    const auto format = CaptureFormats::fromFile(path);
    if (!format) {
        error = QCoreApplication::translate("CaptureLoader", "неизвестный формат файла");
        return false;
    }
    error.clear();
    cancelled = false;
    permille = 0;
    inFlight = 0;
    running = true;
    worker = std::thread(&CaptureLoader::run, this, path, int(*format));
    return true;
}

void CaptureLoader::cancel()
{
    cancelled = true;
    room.notify_all();
}

void CaptureLoader::waitForRoom()
{
    std::unique_lock<std::mutex> guard(lock);
    room.wait(guard, [this] { return inFlight < MaxBatchesInFlight || cancelled; });
    ++inFlight;
}

void CaptureLoader::deliver(QVector<TimedPacket> &batch)
{
    waitForRoom();
    QMetaObject::invokeMethod(
        this,
        [this, batch] {
            if (!cancelled)
                emit frames(batch);
            {
                std::lock_guard<std::mutex> guard(lock);
                --inFlight;
            }
            room.notify_all();
        },
        Qt::QueuedConnection);
    batch.clear();
    batch.reserve(BatchFrames);
}

void CaptureLoader::run(const QString &path, int format)
{
    QFile file(path);
    QString why;
    quint64 read = 0;
    quint64 skipped = 0;
    quint64 damaged = 0;
    CaptureDamage first;
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
    } else {
        const auto reader = CaptureFormats::createReader(CaptureFormat(format), &file);
        const qint64 size = qMax<qint64>(1, file.size());
        QVector<TimedPacket> batch;
        batch.reserve(BatchFrames);
        TimedPacket frame;
        while (!cancelled && reader->next(frame)) {
            batch.append(frame);
            ++read;
            if (batch.size() == BatchFrames) {
                permille = int(qMin<qint64>(1000, reader->bytesConsumed() * 1000 / size));
                deliver(batch);
            }
        }
        if (!batch.isEmpty() && !cancelled)
            deliver(batch);
        skipped = reader->skipped();
        damaged = reader->damageCount();
        if (!reader->damage().isEmpty())
            first = reader->damage().first();
        why = reader->errorString();
    }
    QMetaObject::invokeMethod(
        this,
        [this, read, skipped, why, damaged, first] {
            running = false;
            error = why;
            emit finished(why.isEmpty() && !cancelled, read, skipped, why, damaged, first);
        },
        Qt::QueuedConnection);
}

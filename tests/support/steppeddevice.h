// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <algorithm>

// A pipe's view of bytes: no size, and at most `step` bytes a read, so that a reader's buffer
// seams fall everywhere. Opened read-only when made.
class SteppedDevice final : public QIODevice
{
public:
    SteppedDevice(const QByteArray &bytes, int step) : data(bytes), step(step)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char *out, qint64 maxSize) override
    {
        const qint64 n = std::min<qint64>({maxSize, step, qint64(data.size()) - pos});
        std::copy(data.constData() + pos, data.constData() + pos + n, out);
        pos += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }
    bool isSequential() const override { return true; }

private:
    QByteArray data;
    qint64 step;
    qint64 pos = 0;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Whole-file helpers for tests that check what a save left on disk.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// A DBC file with one message, 0x123 "Engine", whose first two bytes are RPM (Intel, unsigned).
inline QByteArray engineRpmDbc()
{
    return "VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: ECU\n\n"
           "BO_ 291 Engine: 8 ECU\n"
           " SG_ RPM : 0|16@1+ (1,0) [0|65535] \"rpm\" ECU\n";
}

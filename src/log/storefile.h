// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// The row store's private file: created without a name in `directory` where the system allows it
// (so it vanishes with the process, whatever ends it), or named and unlinked at once otherwise.
// Reads and writes are positioned, so threads share one handle safely.
class StoreFile final
{
public:
    explicit StoreFile(const QString &directory);
    ~StoreFile();
    StoreFile(const StoreFile &) = delete;
    StoreFile &operator=(const StoreFile &) = delete;

    bool isOpen() const { return fd >= 0; }
    QString errorString() const { return error; }

    // Whole transfers or false (with the reason in `why` for a write).
    bool writeAt(qint64 offset, const void *bytes, qint64 size, QString *why) const;
    bool readAt(qint64 offset, void *bytes, qint64 size) const;

private:
    int fd = -1;
    QString error;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "signals/signalset.h"

#include <QStringList>
#include <memory>

class CaptureWriter;
class QIODevice;

// "--decoded": the frames written as decoded signals of the DBC files given with "--dbc".
class DecodedOutput final
{
public:
    // False with the reason when a file cannot be read at all; broken statements only go to
    // `problems`, the rest of the file is used.
    bool load(const QStringList &dbcFiles, QString *error, QStringList *problems);
    // Every signal of every message, one column each.
    std::unique_ptr<CaptureWriter> writer(QIODevice *device) const;

private:
    SignalSet set;
};

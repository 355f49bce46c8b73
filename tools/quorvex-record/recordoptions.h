// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/sessionoptions.h"

#include <QString>
#include <QStringList>

struct AppSettings;

// The recorder's command line over the window's stored settings.
struct RecordOptions
{
    // Error: bad usage; CannotStart: a file it names cannot be used.
    enum class Outcome { Run, Help, Version, Error, CannotStart };

    SessionOptions session;
    bool quiet = false;

    // `stored` gives the defaults. Help and Version: `message` is the text to print; Error and
    // CannotStart: what is wrong.
    Outcome parse(const QStringList &arguments, const AppSettings &stored, QString &message);
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Where the transmit list file is read and written. Beside the program while its folder can be
// written (an existing list there is read from there, as always); else, as for a program
// installed read-only, in the user's data folder, for reading and writing alike.
namespace TransmitListLocation {

// The application's folder in the user's data location.
QString userDataDir();

// `name` (relative, kept inside by the settings) in `appDir` when the folder that holds it
// there can be written, else in `dataDir`, whose holding folder is created when missing.
QString path(const QString &appDir, const QString &name, const QString &dataDir = userDataDir());

} // namespace TransmitListLocation

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reads the language chosen in the settings ("LANGUAGE") and installs Qt's and Quorvex's
// translators on the application. Call once the application object exists and before any
// window is made.
void installLanguage();

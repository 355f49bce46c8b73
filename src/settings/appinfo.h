// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Identity shown in the window title and the About dialog.
namespace AppInfo {
constexpr const char *Organisation = "Veltrica";
constexpr const char *Application = "Quorvex";
constexpr const char *Version = "1.0.1";
constexpr const char *ReleaseDate = "02.07.2024";
} // namespace AppInfo

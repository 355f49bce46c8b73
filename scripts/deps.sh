#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what building, testing and the demo need, when it is missing (Debian 12).
set -euo pipefail

# Build: compiler, Qt (with the CAN adapters' plugins), QCustomPlot, zlib. Run: Qt's own Russian texts. Demo and screenshots: a
# virtual screen. Tests only: the field's own tools, which read and write the captures we check.
# The Debian package: its dependencies are read off the binaries, then lintian checks it. The
# test run: pgrep, to stop the build it runs beside the tests when they fail.
packages=(cmake g++ make lld qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev
          libqt5serialbus5-dev libqt5serialbus5-plugins
          libqcustomplot-dev zlib1g-dev qttranslations5-l10n qttools5-dev-tools
          librsvg2-bin xvfb xauth
          python3-can python3-canmatrix can-utils tshark
          dpkg-dev file lintian procps)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

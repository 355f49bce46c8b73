#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Re-render every PNG from its hand-written SVG source. Safe to run repeatedly.
set -euo pipefail
cd "$(dirname "$0")"

command -v rsvg-convert >/dev/null || { echo "rsvg-convert not found (package librsvg2-bin)" >&2; exit 1; }

# Action/toolbar pictures: 48x48; Qt scales them down to 24/32 px.
icons=(about settings application-exit usboff usbon mask2 send33 can22 clear task5
       active icons8-start-48 folder apply cancel media_play_green media_stop_red
       openfile savefile)
for n in "${icons[@]}"; do
    rsvg-convert -w 48 -h 48 -o "$n.png" "src/$n.svg"
done

# About-dialog wordmark is wide.
rsvg-convert -w 256 -h 96 -o logo.png src/logo.svg

# Application icon plus the freedesktop hicolor set.
rsvg-convert -w 256 -h 256 -o quorvex.png src/quorvex.svg
for s in 16 32 48 64 128 256; do
    d="icons/hicolor/${s}x${s}/apps"
    mkdir -p "$d"
    rsvg-convert -w "$s" -h "$s" -o "$d/quorvex.png" src/quorvex.svg
done
mkdir -p icons/hicolor/scalable/apps
cp -f src/quorvex.svg icons/hicolor/scalable/apps/quorvex.svg

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes a screenshot of Quorvex capturing from the virtual module, on a virtual screen.
# Usage: scripts/screenshot.sh [out.png] [tab: 0 log, 1 commands, 2 statistics] [tarvix-sim options]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "${1:-quorvex.png}")"
tab="${2:-0}"
sim_args=("${@:3}")

"$root/scripts/deps.sh"
need=()
for tool in xdotool import; do command -v "$tool" >/dev/null || need+=("$tool"); done
if [ ${#need[@]} -gt 0 ]; then
    sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get install -y -qq --no-install-recommends xdotool imagemagick >/dev/null
fi

if [ -z "${QUORVEX_ON_XVFB:-}" ]; then
    QUORVEX_ON_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$out" "$tab" "${sim_args[@]}"
fi
"$root/scripts/demo.sh" "${sim_args[@]}" >/dev/null &
demo=$!
trap 'kill $demo 2>/dev/null; pkill -P $demo 2>/dev/null || true' EXIT
win=""
for _ in $(seq 600); do
    win=$(xdotool search --onlyvisible --name "Quorvex" 2>/dev/null | head -1) && [ -n "$win" ] && break
    sleep 0.2
done
[ -n "$win" ] || { echo "the window did not appear" >&2; exit 1; }
# Xvfb has no window manager to maximise the window as a desktop would: fill the screen.
xdotool windowmove "$win" 0 0 windowsize "$win" 100% 100%
sleep 1
xdotool mousemove --window "$win" 58 44 click 1      # connect: second tool bar button
case "$tab" in                                       # tab labels under the filter bar
    1) xdotool mousemove --window "$win" 185 175 click 1 ;;
    2) xdotool mousemove --window "$win" 333 175 click 1 ;;
esac
sleep 3
import -window root "$out"
echo "Screenshot: $out"

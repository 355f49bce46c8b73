#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Quorvex, starts the virtual module on a pseudo-terminal and opens the window configured for
# it, with settings kept in the build tree (never the user's own). Press the connect button to watch
# traffic. Extra arguments go to tarvix-sim (for example: --replay capture.log).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
demo="$build/demo"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: Quorvex is a desktop program. Run this in a desktop session," >&2
    echo "or without a screen under a virtual one: xvfb-run -a scripts/demo.sh" >&2
    exit 1
fi
"$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target quorvex tarvix-sim

mkdir -p "$demo/config/Veltrica"
port="$demo/tarvix-port"
"$build/tools/tarvix-sim/tarvix-sim" --link "$port" "$@" >"$demo/tarvix-sim.log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$port" ] && break; sleep 0.1; done
[ -e "$port" ] || { echo "tarvix-sim did not start; see $demo/tarvix-sim.log" >&2; exit 1; }

conf="$demo/config/Veltrica/Quorvex.conf"
if [ -f "$conf" ]; then
    sed -i "s|^PORT=.*|PORT=$port|" "$conf"
else
    printf '[General]\nPORT=%s\nBAUD=115200\nWORKDIR=%s\n' "$port" "$demo" >"$conf"
fi
echo "Virtual module on $port. Press the connect button (the USB plug) to watch traffic."
XDG_CONFIG_HOME="$demo/config" "$build/src/quorvex"

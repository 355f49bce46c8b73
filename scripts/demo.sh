#!/usr/bin/env bash
# Builds what is needed and starts the virtual module on a pseudo-terminal.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"

"$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target tarvix-sim
exec "$build/tools/tarvix-sim/tarvix-sim" --link "${TMPDIR:-/tmp}/quorvex-sim" "$@"

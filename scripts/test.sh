#!/usr/bin/env bash
# Builds from scratch and runs every test. Usage: scripts/test.sh [build-dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-test}"

"$root/scripts/deps.sh"
rm -rf "$build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEX_WERROR=ON
cmake --build "$build" -j"$(nproc)"
# Tests get a private config location; they never see the user's settings.
export XDG_CONFIG_HOME="$build/test-config"
mkdir -p "$XDG_CONFIG_HOME"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"

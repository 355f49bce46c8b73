#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds from scratch and runs every test: once as shipped (warnings are errors), then makes
# the Debian package of that build and checks it, then once more with AddressSanitizer and
# UndefinedBehaviorSanitizer, where any report fails the run.
# Usage: scripts/test.sh [build-dir]      (QUORVEX_SKIP_SANITIZERS=1 skips the second pass;
#                                          QUORVEX_SKIP_BENCHMARKS=1 builds no benchmark)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-test}"

"$root/scripts/deps.sh"

suite() {
    local dir="$1"
    shift
    rm -rf "$dir"
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$dir" -j"$(nproc)"
    # Tests get a private config location; they never see the user's settings.
    XDG_CONFIG_HOME="$dir/test-config" ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
}

# The Debian package of the shipped build, which lintian must pass without an error.
package() {
    local dir="$1"
    rm -f "$dir"/quorvex_*.deb
    (cd "$dir" && cpack -G DEB)
    lintian --fail-on error "$dir"/quorvex_*.deb
}

# Line tables are debug information enough for a test build's stack traces, at two thirds of the
# compile time; the sanitizers are meant to run at -O1.
benchmarks=ON
[ "${QUORVEX_SKIP_BENCHMARKS:-0}" = 1 ] && benchmarks=OFF
suite "$build" -DQUORVEX_WERROR=ON -DQUORVEX_BENCHMARKS=$benchmarks \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
package "$build"
if [ "${QUORVEX_SKIP_SANITIZERS:-0}" != 1 ]; then
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp"
    # The benchmarks were built above; instrumented they would only measure the sanitizers.
    suite "$build-sanitize" -DQUORVEX_WERROR=ON -DQUORVEX_SANITIZE=ON -DQUORVEX_BENCHMARKS=OFF \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
fi

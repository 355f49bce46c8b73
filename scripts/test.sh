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

configure() {
    local dir="$1"
    shift
    rm -rf "$dir"
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
}

run_tests() {
    # Tests get a private config location; they never see the user's settings.
    XDG_CONFIG_HOME="$1/test-config" ctest --test-dir "$1" --output-on-failure -j"$(nproc)"
}

# A background job and everything it started, when the run ends early.
kill_tree() {
    local child
    for child in $(pgrep -P "$1" || true); do
        kill_tree "$child"
    done
    kill "$1" 2>/dev/null || true
}

# The Debian package of the shipped build, which lintian must pass without an error.
package() {
    local dir="$1"
    rm -f "$dir"/quorvex_*.deb
    (cd "$dir" && cpack -G DEB)
    lintian --fail-on error "$dir"/quorvex_*.deb
}

# Line tables are debug information enough for a test build's stack traces, at two thirds of the
# compile time; the sanitizers are meant to run at -O1. The package is made of the build just
# made, so its install step builds nothing again.
benchmarks=ON
[ "${QUORVEX_SKIP_BENCHMARKS:-0}" = 1 ] && benchmarks=OFF
configure "$build" -DQUORVEX_WERROR=ON -DQUORVEX_BENCHMARKS=$benchmarks \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
cmake --build "$build" -j"$(nproc)"

sanitized=""
if [ "${QUORVEX_SKIP_SANITIZERS:-0}" != 1 ]; then
    # Built while the shipped build's tests run: they mostly wait on timers, sockets and child
    # processes, and the compiler, at the lowest priority, takes only the time they leave.
    # The benchmarks were built above; instrumented they would only measure the sanitizers.
    sanitized="$build-sanitize"
    log="$(mktemp)"
    (configure "$sanitized" -DQUORVEX_WERROR=ON -DQUORVEX_SANITIZE=ON -DQUORVEX_BENCHMARKS=OFF \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" &&
        nice -n 19 cmake --build "$sanitized" -j"$(nproc)") >"$log" 2>&1 &
    builder=$!
    trap 'kill_tree "$builder"; rm -f "$log"' EXIT
fi

run_tests "$build"
package "$build"
[ -n "$sanitized" ] || exit 0

status=0
wait "$builder" || status=$?
trap - EXIT
cat "$log"
rm -f "$log"
[ "$status" = 0 ] || exit "$status"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp"
run_tests "$sanitized"

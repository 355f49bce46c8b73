#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang and runs them on a copy of the seed corpus.
# Usage: scripts/fuzz.sh [target|all] [runs]
# Default runs: 10,000,000 for fuzz_recordcutter, 100,000 for the others. Crash inputs are kept
# in build-fuzz/crashes/<target>/; exits non-zero when any target crashed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
all_targets=(fuzz_recordcutter fuzz_transmitlist fuzz_hexspinbox fuzz_candumpreader fuzz_ascreader fuzz_trcreader fuzz_tablereader fuzz_blfreader fuzz_pcapngreader fuzz_dbc fuzz_socketcand fuzz_socketcandclient)

install_clang() {
    # llvm-14 brings the symbolizer that turns sanitizer reports into file:line.
    local packages=(clang libclang-rt-14-dev llvm-14) missing=() p sudo=""
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
        sudo="sudo"
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

default_runs() {
    [ "$1" = fuzz_recordcutter ] && echo 10000000 || echo 100000
}

# run_target <name> <runs>: prints executions, time and the outcome; fails on a crash.
run_target() {
    local name="$1" runs="$2" work crashes log status=0 start executed
    work="$(mktemp -d "${TMPDIR:-/tmp}/$name.XXXXXX")"
    crashes="$build/crashes/$name"
    mkdir -p "$crashes" "$work/corpus"
    cp "$root/fuzz/corpus/$name/"* "$work/corpus/"
    start=$SECONDS
    # -jobs=1 runs the fuzzer in one child that logs to fuzz-0.log in the working directory.
    (cd "$work" && "$build/fuzz/$name" -runs="$runs" -jobs=1 -workers=1 -print_final_stats=1 \
        -artifact_prefix="$crashes/" corpus >/dev/null 2>&1) || status=$?
    log="$work/fuzz-0.log"
    executed="$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$' || true)"
    [ -n "$executed" ] || executed="$(grep -o '^#[0-9]*' "$log" | tail -n 1 | tr -d '#' || true)"
    printf '%-18s %12s executions  %5ds  ' "$name" "${executed:-?}" "$((SECONDS - start))"
    if [ "$status" -eq 0 ]; then
        echo "no crash"
        rm -rf "$work"
        return 0
    fi
    echo "CRASH: $(grep -o "Test unit written to .*" "$log" | tail -n 1 | sed 's/Test unit written to //')"
    grep -E "ERROR:|runtime error|check failed" "$log" | head -n 5 | sed 's/^/    /'
    echo "    full log: $log"
    return 1
}

target="${1:-all}"
targets=("${all_targets[@]}")
if [ "$target" != all ]; then
    [[ " ${all_targets[*]} " == *" $target "* ]] || { echo "Unknown target: $target" >&2; exit 2; }
    targets=("$target")
fi

"$root/scripts/deps.sh"
install_clang
cmake -S "$root" -B "$build" -DQUORVEX_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

[ -x /usr/bin/llvm-symbolizer-14 ] && export ASAN_SYMBOLIZER_PATH=/usr/bin/llvm-symbolizer-14
export UBSAN_OPTIONS="print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
failed=0
for name in "${targets[@]}"; do
    run_target "$name" "${2:-$(default_runs "$name")}" || failed=1
done
exit "$failed"

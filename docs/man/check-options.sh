#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when an option that PROGRAM's --help names is missing from its man page, or when
# --help or --version does not work without a display (over ssh, in a package build).
# Usage: check-options.sh PROGRAM PAGE
set -eu
program="$1"
page="$2"
nodisplay() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@"
}
help=$(nodisplay --help) || { echo "$program --help failed without a display" >&2; exit 1; }
if [ -z "$help" ]; then
    echo "$program printed no help without a display" >&2
    exit 1
fi
for asked in --version; do
    if printf '%s\n' "$help" | grep -q -- "$asked\\b"; then
        text=$(nodisplay "$asked") || { echo "$program $asked failed without a display" >&2; exit 1; }
        [ -n "$text" ] || { echo "$program printed nothing for $asked without a display" >&2; exit 1; }
    fi
done
missing=0
for option in $(printf '%s\n' "$help" | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    escaped=$(printf '%s' "$option" | sed 's/-/\\-/g')
    if ! grep -qF -- "$escaped" "$page"; then
        echo "$page does not describe $option" >&2
        missing=1
    fi
done
exit "$missing"

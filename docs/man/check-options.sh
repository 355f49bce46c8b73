#!/bin/sh
# Fails when an option that PROGRAM's --help names is missing from its man page.
# Usage: check-options.sh PROGRAM PAGE
set -eu
program="$1"
page="$2"
missing=0
for option in $("$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    escaped=$(printf '%s' "$option" | sed 's/-/\\-/g')
    if ! grep -qF -- "$escaped" "$page"; then
        echo "$page does not describe $option" >&2
        missing=1
    fi
done
exit "$missing"

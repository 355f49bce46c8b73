#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails unless installing the build puts the user's guide, both languages with every picture and
# style sheet they use, under share/doc/quorvex/guide/, and the window's resources list the same
# files.
# Usage: check-installed.sh BUILD_DIR GUIDE_SOURCE_DIR
set -eu
build="$1"
source="$2"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
guide="$prefix/share/doc/quorvex/guide"
status=0
for page in ru.html en.html; do
    if [ ! -s "$guide/$page" ]; then
        echo "not installed: $page" >&2
        status=1
        continue
    fi
    pictures=$(grep -o -e 'src="[^"]*"' -e 'stylesheet" type="text/css" href="[^"]*"' \
        "$guide/$page" | sed 's/^.*="//; s/"$//')
    [ -n "$pictures" ] || { echo "$page shows no picture" >&2; status=1; }
    for picture in $pictures; do
        [ -s "$guide/$picture" ] || { echo "$page shows $picture, not installed" >&2; status=1; }
        grep -q "<file>$picture</file>" "$source/guide.qrc" ||
            { echo "$page shows $picture, not in guide.qrc" >&2; status=1; }
    done
done
[ "$status" -eq 0 ] && echo "guide installed in $guide"
exit "$status"

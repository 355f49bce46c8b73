#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a text of the sources has no English in translations/quorvex_en.ts: lupdate merges
# the sources into a copy of it, which must then hold nothing unfinished, empty or Russian.
# Usage: check-translations.sh SOURCE_DIR [LUPDATE]
set -eu
root=${1:?usage: check-translations.sh SOURCE_DIR [LUPDATE]}
lupdate=${2:-lupdate}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/translations/quorvex_en.ts" "$work/check.ts"
cd "$root"
"$lupdate" -silent -locations none -extensions cpp,h,ui src tools -ts "$work/check.ts"
status=0
if grep -q 'type="unfinished"' "$work/check.ts"; then
    echo "Texts without English (add them to translations/quorvex_en.ts):"
    grep -B1 'type="unfinished"' "$work/check.ts" | grep '<source>'
    status=1
fi
if grep -q -e '<translation></translation>' -e '<translation/>' "$work/check.ts"; then
    echo "Empty translations:"
    grep -B1 -e '<translation></translation>' -e '<translation/>' "$work/check.ts" | grep '<source>'
    status=1
fi
if grep -P '<translation>.*[\x{0400}-\x{04FF}]' "$work/check.ts"; then
    echo "Translations above still hold Russian letters"
    status=1
fi
[ "$status" -eq 0 ] && echo "All $(grep -c '<source>' "$work/check.ts") texts have English"
exit "$status"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The widget-free library stays widget-free: no file compiled into quorvex_core includes a Qt
# Widgets header, QCustomPlot, or a file of the widget library.
# Usage: scripts/check-folders.sh CORE_SOURCES UI_SOURCES WIDGETS_INCLUDE_DIR
#   (the first two list one absolute path a line, as the build writes them)
set -euo pipefail
core="$1" ui="$2" widgets="$3"

# Every name a widget header can be included by: <QWidget>, <QtWidgets/QWidget>, <qwidget.h>.
forbidden=$(mktemp)
trap 'rm -f "$forbidden"' EXIT
{
    ls "$widgets" | sed -e 's#^#<#' -e 's#$#>#'
    ls "$widgets" | sed -e 's#^#<QtWidgets/#' -e 's#$#>#'
    echo '<QtWidgets>'
    echo '<qcustomplot.h>'
    src=$(dirname "$0")/../src
    src=$(cd "$src" && pwd)
    grep -E '\.h$' "$ui" | sed -e "s#^$src/#\"#" -e 's#$#"#'
} | sort -u >"$forbidden"

bad=0
while IFS= read -r file; do
    case "$file" in *.h | *.cpp) ;; *) continue ;; esac
    [ -f "$file" ] || continue
    while IFS= read -r include; do
        if grep -qxF -- "$include" "$forbidden"; then
            echo "widget-free library includes a widget header: $file: $include"
            bad=1
        fi
    done < <(sed -n -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*([<"][^>"]+[>"]).*/\1/p' "$file")
done <"$core"
exit "$bad"

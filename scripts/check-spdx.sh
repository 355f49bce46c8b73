#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every source file of the repository names its licence in its first lines.
# Usage: scripts/check-spdx.sh [repository]     (prints the files that do not, fails if any)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    echo "not a git checkout: nothing to check"
    exit 0
fi
missing=0
while IFS= read -r file; do
    case "$file" in fuzz/corpus/*) continue ;; esac
    if ! head -n 5 "$file" | grep -q 'SPDX-License-Identifier: GPL-3.0-or-later'; then
        echo "no licence line: $file"
        missing=1
    fi
done < <(git ls-files '*.cpp' '*.h' '*.sh' '*.py' '*.ui' '*.qrc' '*CMakeLists.txt' '.ci/run')
exit "$missing"

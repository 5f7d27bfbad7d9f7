#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that the C++ sources (src/, sim/, tests/, bench/: *.cpp and *.h) are laid out as
# .clang-format says (clang-format-14 --dry-run -Werror): lists the files that differ, shows the
# places in the first of them, and fails. It changes no file; `clang-format-14 -i FILE...` does.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

mapfile -t files < <(find src sim tests bench -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
[ ${#files[@]} -gt 0 ] || { echo "check-format: no sources found" >&2; exit 1; }
differ=()
for f in "${files[@]}"; do
    clang-format-14 --style=file --dry-run -Werror "$f" 2>/dev/null || differ+=("$f")
done
if [ ${#differ[@]} -gt 0 ]; then
    clang-format-14 --style=file --dry-run -Werror "${differ[0]}" 2>&1 | head -n 40 >&2 || true
    echo "check-format: ${#differ[@]} of ${#files[@]} files differ from .clang-format's layout:" >&2
    printf '  %s\n' "${differ[@]}" >&2
    exit 1
fi
echo "check-format: ${#files[@]} files laid out as .clang-format says"

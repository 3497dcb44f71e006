#!/usr/bin/env bash
# Checks that C++ files are exactly as clang-format-14 and .clang-format make them.
#   scripts/check-format.sh            every tracked *.cpp and *.h
#   scripts/check-format.sh FILE...    only these files
# Prints each file that differs and exits 1 when any does; `clang-format-14 -i FILE` formats one.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang-format-14 >/dev/null 2>&1; then
    echo "check-format: clang-format-14 is missing; scripts/install-deps.sh installs it" >&2
    exit 2
fi

files=()
if (($# > 0)); then
    files=("$@")
else
    while IFS= read -r -d '' file; do
        files+=("$file")
    done < <(git ls-files -z -- '*.cpp' '*.h')
fi

# One clang-format per file, as many at a time as there are cores; each prints its name when it differs.
mapfile -t differ < <(printf '%s\0' "${files[@]}" |
    xargs -0 -P "$(nproc)" -I{} sh -c 'clang-format-14 --style=file --dry-run --Werror "$1" >/dev/null 2>&1 || echo "$1"' _ {} |
    sort)
if ((${#differ[@]} > 0)); then
    printf 'check-format: not formatted: %s\n' "${differ[@]}" >&2
    echo "check-format: ${#differ[@]} of ${#files[@]} files differ; format them with clang-format-14 -i" >&2
    exit 1
fi
echo "check-format: ${#files[@]} files formatted"

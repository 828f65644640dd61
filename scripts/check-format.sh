#!/usr/bin/env bash
# Fails when a C++ file of the tree (tracked, or new and not ignored) differs from what
# clang-format makes of it.
# Usage: check-format.sh [CLANG_FORMAT]
set -euo pipefail
cd "$(dirname "$0")/.."
format="${1:-clang-format}"
# A tracked file deleted from the tree is listed too; only files that exist are checked.
git ls-files -z --cached --others --exclude-standard -- '*.cpp' '*.h' |
    while IFS= read -r -d '' file; do [[ -f "$file" ]] && printf '%s\0' "$file"; done |
    xargs -0 "$format" --dry-run --Werror

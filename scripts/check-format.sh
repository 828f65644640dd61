#!/usr/bin/env bash
# Fails when a C++ file that git tracks differs from what clang-format makes of it.
# Usage: check-format.sh [CLANG_FORMAT]
set -euo pipefail
cd "$(dirname "$0")/.."
format="${1:-clang-format}"
git ls-files -z -- '*.cpp' '*.h' | xargs -0 "$format" --dry-run --Werror

#!/usr/bin/env bash
# Fails when a C or C++ file under src, tests or bench differs from what
# clang-format makes of it (the repository's .clang-format); lists the places.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(find src tests bench -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) | sort)
if [ ${#files[@]} -eq 0 ]; then
  echo "check-format: no source files found" >&2
  exit 1
fi
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "check-format: run clang-format -i on the files above" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files formatted"

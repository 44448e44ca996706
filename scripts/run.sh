#!/usr/bin/env bash
# Installs what is missing, builds the player and plays an intro: the
# example when no intro file is given.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# The release preset (CMakePresets.json): RelWithDebInfo in build/.
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target quorvelan
if [ $# -eq 0 ]; then set -- examples/intro.quointro; fi
exec ./build/quorvelan "$@"

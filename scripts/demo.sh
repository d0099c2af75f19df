#!/usr/bin/env bash
# The demo: builds AutoUpdate.exe and shows it at work under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
. tests/support/wine-env.sh
cmake --preset "$AU_WINDOWS_PRESET" >/dev/null
cmake --build "build/$AU_WINDOWS_PRESET" -j"$(nproc)"
exec python3 tests/e2e/demo.py --build "build/$AU_WINDOWS_PRESET" "$@"

#!/usr/bin/env bash
# The demo: builds AutoUpdate.exe and au-publish and shows a verified update
# under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
. tests/support/wine-env.sh
cmake --preset "$AU_WINDOWS_PRESET" >/dev/null
cmake --build "build/$AU_WINDOWS_PRESET" -j"$(nproc)"
# The publisher's tool, native: the demo publishes its releases with it.
cmake --preset native >/dev/null
cmake --build build/native --target au-publish -j"$(nproc)"
exec python3 tests/e2e/demo.py --build "build/$AU_WINDOWS_PRESET" --au-publish build/native/src/au-publish "$@"

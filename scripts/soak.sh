#!/usr/bin/env bash
# The long soak: builds the program with its after-every-frame checks and drives it for
# SECONDS (default 75) on its own Xvfb with a window manager: continuous resizing, focus
# away and back, minimise and restore, clicks and typing, then a close. The test suite
# runs the same for 15 s. Details and pass criteria: tests/soak.sh.
#   scripts/soak.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-75}
build=${BUILD:-build/linux}
scripts/install-deps.sh
cmake --preset linux -B "$build" >/dev/null
cmake --build "$build" --target quillmere_checked xclose -j2 >/dev/null
exec timeout $((seconds + 120)) tests/soak.sh "$seconds" "$build/tests/xclose" "$build/tests/quillmere_checked"

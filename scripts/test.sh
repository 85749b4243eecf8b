#!/usr/bin/env bash
# Installs what is missing, builds Linux and Windows, and runs every test: the Linux
# suite natively and the Windows suite under Wine, both on one virtual X display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
cmake --preset linux >/dev/null
cmake --build --preset linux -j"$jobs"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs"

exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" scripts/run-tests.sh

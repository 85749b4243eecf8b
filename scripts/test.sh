#!/usr/bin/env bash
# Installs what is missing, builds Linux and Windows, and runs every test: the Linux
# suite natively and the Windows suite under Wine, both on one virtual X display; then
# the packages (scripts/package.sh) and their checks, the Linux suite under the sanitizers,
# and each fuzz target for FUZZ_SECONDS (45).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
cmake --preset linux >/dev/null
cmake --build --preset linux -j"$jobs"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs"
scripts/package.sh >/dev/null
# The suite again with AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz
# targets (clang); run-tests.sh runs both.
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j"$jobs"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target extensions_fuzz mesh_fuzz expectations_fuzz results_fuzz -j"$jobs"

exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" scripts/run-tests.sh

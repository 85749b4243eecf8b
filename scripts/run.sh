#!/usr/bin/env bash
# Builds the Linux program and runs it on this machine's display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target quillmere -j2
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat >&2 <<'TXT'
No display: DISPLAY and WAYLAND_DISPLAY are unset, so there is nowhere to open the window.
Run this from a desktop session, or log in with X forwarding (ssh -X), or use a virtual
display and take a screenshot of it:
    xvfb-run -a -s "-screen 0 1280x1024x24" scripts/run.sh
TXT
    exit 1
fi
exec build/linux/quillmere

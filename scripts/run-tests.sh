#!/usr/bin/env bash
# Runs the built suites on the current display (scripts/test.sh provides one).
set -uo pipefail
cd "$(dirname "$0")/.."

export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 </dev/null
fi
# One persistent server for the whole Windows suite; its output must not hold a pipe.
wineserver -p >/dev/null 2>&1 </dev/null

status=0
echo "== Linux suite"
ctest --preset linux || status=1
echo "== Windows suite (Wine)"
ctest --preset windows || status=1
echo "== Linux suite with ASan and UBSan"
ctest --preset sanitize || status=1
echo "== Fuzzing, ${FUZZ_SECONDS:-45} s a target"
scripts/fuzz.sh "${FUZZ_SECONDS:-45}" || status=1
wineserver -k >/dev/null 2>&1 || true
exit $status

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
# The first Wine process of a fresh server can finish its work and never exit; let it be
# this one rather than a test.
timeout 60 wine cmd /c exit >/dev/null 2>&1 </dev/null

status=0
passed=0
failed=0
# Each suite counts once in the closing line.
suite() { if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); status=1; fi; }
echo "== Formatting (.clang-format)"
# With no file named, clang-format would read standard input and pass.
sources=$(git ls-files | grep -E '\.(c|cpp|h)$')
if [ -n "$sources" ]; then
    suite clang-format --dry-run --Werror $sources
else
    echo "FAIL: git lists no C or C++ source"
    suite false
fi
echo "== Linux suite"
# Each test is a process of its own. An idle client keeps the X server from resetting
# whenever one ends, since a connection made during a reset can be refused; it leaves
# for the Windows suite, which wants the server as a reset leaves it (keyboard focus
# following the pointer), and comes back for the sanitizer suite.
hold_server() { xprop -root -spy >/dev/null 2>&1 </dev/null & holder=$!; }
release_server() { kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null; }
hold_server
suite ctest --preset linux
echo "== Wayland: headless sway, and a compositor without a seat"
suite tests/wayland.sh build/linux
release_server
echo "== Windows suite (Wine)"
suite ctest --preset windows
echo "== Packages (scripts/check-packages.sh)"
suite scripts/check-packages.sh
echo "== Linux suite with ASan and UBSan"
hold_server
suite ctest --preset sanitize
release_server
echo "== Fuzzing, ${FUZZ_SECONDS:-45} s a target"
suite scripts/fuzz.sh "${FUZZ_SECONDS:-45}"
wineserver -k >/dev/null 2>&1 || true
echo "suites: $passed passed, $failed failed"
exit $status

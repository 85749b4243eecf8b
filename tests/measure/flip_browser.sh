#!/usr/bin/env bash
# The flip comparator and the contents list, clicked in Debian's chromium through
# puppeteer-core (tests/browser, installed by scripts/install-deps.sh): on the report of a
# run on llvmpipe and on the comparison page of it beside a run on softpipe.
# Usage: flip_browser.sh QUILLMERE_MEASURE [SHOTS_DIR]   (screenshots of both pages there)
set -uo pipefail
tool=$1
browser=$(cd "$(dirname "$0")/../browser" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
[ -d "$browser/node_modules/puppeteer-core" ] || { echo "FAILED: no puppeteer-core in $browser (scripts/install-deps.sh)"; exit 1; }
small=(--headless --size 240x180 --reference-k 4)
"$tool" "${small[@]}" --out "$tmp/llvmpipe" >"$tmp/log" 2>&1 &&
    LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=softpipe "$tool" "${small[@]}" --out "$tmp/softpipe" >>"$tmp/log" 2>&1 &&
    "$tool" compare "$tmp/llvmpipe" "$tmp/softpipe" --out "$tmp/cmp" >>"$tmp/log" 2>&1 ||
    { cat "$tmp/log"; echo "FAILED: the tool"; exit 1; }
exec timeout 180 node "$browser/flip.mjs" "$tmp/llvmpipe/index.html" "$tmp/cmp/index.html:llvmpipe:softpipe" ${2:+"$2"}

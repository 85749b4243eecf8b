#!/usr/bin/env bash
# The tool with no display (EGL), and its answers to bad conditions: each a clear message
# and its own non-zero status, never a report presented as whole.
# Usage: headless.sh QUILLMERE_MEASURE GLSTRING_SHIM
set -uo pipefail
tool=$1
shim=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }

[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || { echo "run with DISPLAY and WAYLAND_DISPLAY unset"; exit 2; }
"$tool" --size 240x180 --reference-k 4 --out "$tmp/r" >"$tmp/out" 2>&1
status=$?
check "headless run ends with 0" "[ $status -eq 0 ]"
check "headless run writes the report" "[ -s $tmp/r/index.html ] && [ -s $tmp/r/results.json ]"
check "no window, and the report says why" \
    "python3 -c 'import json,sys; d=json.load(open(\"$tmp/r/results.json\")); sys.exit(not (d[\"headless\"] and not d[\"window\"][\"available\"] and d[\"window\"][\"reason\"] and d[\"complete\"]))'"
check "msaa-4 granted 4 offscreen" \
    "python3 -c 'import json,sys; d=json.load(open(\"$tmp/r/results.json\")); c={x[\"name\"]:x for x in d[\"captures\"]}; sys.exit(not (c[\"msaa-4\"][\"granted\"]==4 and c[\"msaa-4\"][\"effective_samples\"]==4))'"

# Bad conditions: expected status and a word of the message.
run() { "$tool" --size 64x48 --reference-k 2 "$@" >"$tmp/out" 2>&1; echo $?; }
check "unknown option: non-zero and named" "s=\$(run --frobnicate); [ \$s -ne 0 ] && grep -q frobnicate $tmp/out"
check "--help lists the options" "\"$tool\" --help >$tmp/out 2>&1 && grep -q -- --reference-k $tmp/out && grep -q -- --headless $tmp/out"
check "--version prints the version" "\"$tool\" --version | grep -Eq 'quillmere-measure [0-9]+\.[0-9]+\.[0-9]+'"
check "bad --size: 4" "\"$tool\" --size 12xq --out $tmp/x >$tmp/out 2>&1; [ \$? -eq 4 ] && grep -q WxH $tmp/out"
check "size beyond the driver's limits: 4" \
    "\"$tool\" --size 60000x64 --out $tmp/x >$tmp/out 2>&1; [ \$? -eq 4 ] && grep -q GL_MAX_RENDERBUFFER_SIZE $tmp/out"
check "size that overflows an int: 4" \
    "\"$tool\" --size 4294967312x64 --out $tmp/x >$tmp/out 2>&1; [ \$? -eq 4 ] && grep -q WxH $tmp/out"
check "size whose working set exceeds memory: 8, before any allocation" \
    "\"$tool\" --size 16384x16384 --out $tmp/x >$tmp/out 2>&1; [ \$? -eq 8 ] && grep -q 'MiB are available' $tmp/out"
# A driver whose renderer string is missing or not UTF-8: the run completes and says so.
for mode in null latin1; do
    LD_PRELOAD="$shim${LD_PRELOAD:+:$LD_PRELOAD}" QUILL_SHIM_RENDERER=$mode \
        "$tool" --size 64x48 --reference-k 2 --modes msaa --out "$tmp/s-$mode" >"$tmp/out" 2>&1
    status=$?
    check "renderer string $mode: whole run, valid JSON" \
        "[ $status -eq 0 ] && python3 -c 'import json,sys; d=json.load(open(\"$tmp/s-$mode/results.json\", encoding=\"utf-8\")); sys.exit(not d[\"renderer\"])'"
done
# A resolve the driver refuses: that capture is named and left out, never scored as black.
LD_PRELOAD="$shim${LD_PRELOAD:+:$LD_PRELOAD}" QUILL_SHIM_BLIT=refuse \
    "$tool" --size 64x48 --reference-k 2 --modes msaa --out "$tmp/blit" >"$tmp/out" 2>&1
status=$?
check "a refused resolve: 6, msaa-4 named as failed, the report incomplete" \
    "[ $status -eq 6 ] && grep -q 'msaa-4 failed' $tmp/out && python3 -c 'import json,sys; d=json.load(open(\"$tmp/blit/results.json\")); n=[c[\"name\"] for c in d[\"captures\"]]; f=[c[\"name\"] for c in d[\"failed_captures\"]]; sys.exit(not (\"msaa-4\" in f and \"msaa-4\" not in n and \"msaa-0\" in n and not d[\"complete\"]))'"
check "a missing renderer string is named" "grep -q 'no GL_RENDERER' $tmp/out || grep -q 'not reported' $tmp/s-null/results.json"
check "output folder that cannot be written: 3" "s=\$(run --out /proc/quillmere); [ \$s -eq 3 ] && grep -q 'cannot write' $tmp/out"
check "no OpenGL context: 2" \
    "s=\$(__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent run --out $tmp/y); [ \$s -eq 2 ] && grep -q 'no OpenGL context' $tmp/out"
check "--modes window with no window: 7" "s=\$(run --modes window --out $tmp/w); [ \$s -eq 7 ] && grep -q 'no display' $tmp/out"
check "no framebuffer objects offscreen: 5" \
    "s=\$(MESA_GL_VERSION_OVERRIDE=2.1 MESA_EXTENSION_OVERRIDE=-GL_ARB_framebuffer_object run --out $tmp/z); [ \$s -eq 5 ] && grep -q 'framebuffer objects' $tmp/out"
check "results.json matches docs/results.schema.json" "/usr/bin/python3 $(dirname "$0")/check_results.py schema $tmp/r/results.json"
exit $fail

#!/usr/bin/env bash
# A lost context, whose glGetError never answers GL_NO_ERROR (a preloaded stand-in): the run
# ends, with status 6, names what failed and calls the report incomplete. ctest's timeout is
# the ceiling that tells an error drain without a bound from one with.
# Usage: lost_context.sh QUILLMERE_MEASURE GLERROR_SHIM
set -uo pipefail
tool=$1
shim=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }
lost() {
    LD_PRELOAD="$shim${LD_PRELOAD:+:$LD_PRELOAD}" QUILL_SHIM_LOST=$1 \
        "$tool" --size 64x48 --reference-k 2 --out "$tmp/$1" >"$tmp/$1.out" 2>&1
    echo $?
}

[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || { echo "run with DISPLAY and WAYLAND_DISPLAY unset"; exit 2; }
# Lost from the start: no framebuffer object is complete, so not even the one-sample target.
status=$(lost always)
check "lost from the start: 6, the one-sample framebuffer object named" \
    "[ $status -eq 6 ] && grep -q 'one-sample framebuffer object' $tmp/always.out"
# Lost once the targets are made: every capture from then on is named and none is scored.
status=$(lost readback)
check "lost after the first read-back: 6" "[ $status -eq 6 ]"
check "the failed captures named on standard error" \
    "grep -q 'msaa-0 failed (draw: GL_CONTEXT_LOST)' $tmp/readback.out && grep -q 'filter-linear failed' $tmp/readback.out"
check "results.json names them, scores none and is not complete" \
    "python3 -c 'import json,sys; d=json.load(open(\"$tmp/readback/results.json\")); f={c[\"name\"] for c in d[\"failed_captures\"]}; sys.exit(not ({\"reference\", \"msaa-0\", \"ssaa-2x2\", \"filter-trilinear\", \"filtering\"} <= f and not d[\"captures\"] and d[\"complete\"] is False))'"
check "results.json matches docs/results.schema.json" \
    "/usr/bin/python3 $(dirname "$0")/check_results.py schema $tmp/readback/results.json"
exit $fail

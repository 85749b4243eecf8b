#!/usr/bin/env bash
# The anti-aliasing verdicts end to end on three of Mesa's OpenGL implementations, on the
# current X display: llvmpipe and zink (over lavapipe) multisample with 4 samples at known
# positions, which the sweep must recover; softpipe has no multisampling and must be named
# so, never "MSAA with 1 samples". Also the window with and without QUILLMERE_SAMPLES=4.
# Usage: aa_drivers.sh QUILLMERE_MEASURE
set -uo pipefail
tool=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
# check NAME COMMAND...: the command's status decides.
check() { local name=$1; shift; if "$@"; then echo "ok: $name"; else echo "FAILED: $name"; fail=1; fi; }
# field OUT EXPR: a Python expression over results.json (d), its verdicts (v) and positions (p).
field() {
    python3 -c "
import json
d = json.load(open('$1/results.json'))
a = d['antialiasing']
v = {x['capture']: x for x in a['verdicts']}
p = {x['target']: x for x in a['sample_positions']}
print($2)"
}
four='[(0.375, 0.125), (0.875, 0.375), (0.125, 0.625), (0.625, 0.875)]'

run() {  # run OUT [ENV...]: a small run of the window and the framebuffer objects
    local out=$1
    shift
    env -u QUILLMERE_SAMPLES "$@" "$tool" --modes window,msaa --size 240x180 --reference-k 4 --out "$out" \
        >"$out.log" 2>&1
}

for driver in llvmpipe zink; do
    if [ $driver = zink ]; then
        run "$tmp/$driver" LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=zink
    else
        run "$tmp/$driver"
    fi
    check "$driver: the run is whole" test "$(field "$tmp/$driver" "d['complete']")" = True
    check "$driver: the renderer is $driver" grep -qi "\"renderer\": \"[^\"]*$driver" "$tmp/$driver/results.json"
    check "$driver: msaa-4 is 4-sample MSAA" \
        test "$(field "$tmp/$driver" "v['msaa-4']['class'], v['msaa-4']['samples']")" = "multisampling 4"
    check "$driver: msaa-0 and the window have no AA" \
        test "$(field "$tmp/$driver" "v['msaa-0']['class'], v['window']['class']")" = "no anti-aliasing no anti-aliasing"
    check "$driver: the measured positions are the known four" \
        test "$(field "$tmp/$driver" "sorted(map(tuple, p['msaa-4']['measured'])) == sorted($four)")" = True
    check "$driver: and agree with GL_SAMPLE_POSITION" test "$(field "$tmp/$driver" "p['msaa-4']['agree']")" = True
done
# What quillmere itself shows: judged on llvmpipe; on Xvfb zink presents nothing the display
# can read back, which the report says, judging the back buffer instead.
check "llvmpipe: quillmere's presented window has no AA, and the window's verdict is its" \
    test "$(field "$tmp/llvmpipe" "v['presented']['class'], d['window']['verdict'] == v['presented']['verdict']")" = "no anti-aliasing True"
check "zink: the presented window is named as not captured, and why" \
    test "$(field "$tmp/zink" "d['presented']['captured'], 'one colour' in d['presented']['reason']")" = "False True"
# The scores kept apart: four samples halve the geometric edge error at least, and no
# capture made of samples spills.
check "llvmpipe: msaa-4 halves msaa-0's geometric edge error" \
    test "$(field "$tmp/llvmpipe" "(lambda g: g['msaa-4'] < g['msaa-0'] / 2)({s['capture']: s['geometric_edge_rmse'] for s in a['scores']})")" = True
check "llvmpipe: no capture spills" test "$(field "$tmp/llvmpipe" "max(s['spill_share'] for s in a['scores']) < 0.01")" = True

run "$tmp/softpipe" LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=softpipe
check "softpipe: the renderer is softpipe" grep -q '"renderer": "softpipe' "$tmp/softpipe/results.json"
check "softpipe: the window is named no multisampling" \
    test "$(field "$tmp/softpipe" "v['window']['class']")" = "no multisampling"
check "softpipe: quillmere's presented window too" \
    test "$(field "$tmp/softpipe" "v['presented']['class']")" = "no multisampling"
check "softpipe: the summary names no multisampling" grep -q "no multisampling" "$tmp/softpipe.log"
check "softpipe: no MSAA with 1 sample, no edge error with msaa-1" \
    test "$(grep -c -e 'MSAA with 1' -e 'with msaa-1' "$tmp/softpipe.log")" = 0

run "$tmp/window4" QUILLMERE_SAMPLES=4
check "QUILLMERE_SAMPLES=4: the window is 4-sample MSAA" \
    test "$(field "$tmp/window4" "v['window']['class'], v['window']['samples'], v['window']['format_samples']")" = \
    "multisampling 4 4"
check "QUILLMERE_SAMPLES=4: quillmere's presented window is 4-sample MSAA, 4 asked for" \
    test "$(field "$tmp/window4" "v['presented']['class'], v['presented']['samples'], d['window']['samples_requested']")" = \
    "multisampling 4 4"
check "QUILLMERE_SAMPLES=4: the window's positions are measured and agree" \
    test "$(field "$tmp/window4" "len(p['window']['measured']), p['window']['agree']")" = "4 True"

check "every results.json matches docs/results.schema.json" \
    /usr/bin/python3 "$(dirname "$0")/check_results.py" schema "$tmp"/*/results.json
[ $fail = 0 ] || { for f in "$tmp"/*.log; do echo "== $f"; tail -5 "$f"; done; }
exit $fail

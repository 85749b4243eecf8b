#!/usr/bin/env bash
# QUILLMERE_SAMPLES end to end on the current X display: the tool sees a 4-sample window,
# quillmere's own window shows blended edge colours the default run lacks, and bad values
# start both as without the setting. Also the tool's window-only report without
# framebuffer objects.
# Usage: override.sh QUILLMERE_MEASURE QUILLMERE
set -uo pipefail
tool=$1
program=$2
. "$(dirname "$0")/../wait.sh"
tmp=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill $pid 2>/dev/null; rm -rf "$tmp"' EXIT
fail=0
# check NAME COMMAND...: the command's status decides.
check() { local name=$1; shift; if "$@"; then echo "ok: $name"; else echo "FAILED: $name"; fail=1; fi; }
field() { python3 -c "import json; d=json.load(open('$1/results.json')); c={x['name']:x for x in d['captures']}; print($2)"; }

measure() {  # measure OUT [VALUE]
    local out=$1
    if [ $# -ge 2 ]; then
        QUILLMERE_SAMPLES="$2" "$tool" --modes window --size 320x240 --reference-k 4 --out "$out" >"$out.log" 2>&1
    else
        env -u QUILLMERE_SAMPLES "$tool" --modes window --size 320x240 --reference-k 4 --out "$out" >"$out.log" 2>&1
    fi
}
measure "$tmp/four" 4
check "QUILLMERE_SAMPLES=4: the tool reports a 4-sample window" \
    test "$(field "$tmp/four" "d['window']['samples'], d['window']['sample_buffers'], c['window']['effective_samples']")" = "4 1 4"
check "QUILLMERE_SAMPLES=4: verdict says 4-sample MSAA" grep -q "4-sample MSAA" "$tmp/four/results.json"
measure "$tmp/none"
check "without it: one sample" test "$(field "$tmp/none" "d['window']['samples'], c['window']['effective_samples']")" = "0 1"
for value in 0 -1 64 text; do
    measure "$tmp/bad" "$value"
    check "QUILLMERE_SAMPLES=$value: as without it" \
        test "$(field "$tmp/bad" "d['window']['samples'], c['window']['effective_samples']")" = "0 1"
    check "QUILLMERE_SAMPLES=$value: one line on stderr" grep -q "QUILLMERE_SAMPLES=$value is not" "$tmp/bad.log"
done

# quillmere itself: a screenshot of its window, with and without the setting.
shot() {  # shot FILE [VALUE]
    if [ $# -ge 2 ]; then QUILLMERE_SAMPLES="$2" "$program" 2>"$1.log" & else env -u QUILLMERE_SAMPLES "$program" 2>"$1.log" & fi
    pid=$!
    # This run's window (the last run's may not have left the server yet), then its picture
    # once it holds still.
    local id
    id=$(await_window --onlyvisible --pid "$pid" --name 'Quillmere')
    if [ -z "$id" ]; then
        echo "FAILED: no window from quillmere${2:+ with QUILLMERE_SAMPLES=$2} in $wait_ceiling s"
        fail=1
    elif ! await_still_picture "$id" "$1"; then
        echo "FAILED: quillmere's picture${2:+ with QUILLMERE_SAMPLES=$2} never held still"
        fail=1
    fi
    kill $pid 2>/dev/null
    wait $pid 2>/dev/null
    pid=
}
colours() { convert "$1" -format %c histogram:info:- | sed -E 's/.*(#[0-9A-F]{6}).*/\1/' | sort -u; }
shot "$tmp/default.png"
shot "$tmp/msaa.png" 4
colours "$tmp/default.png" >"$tmp/default.txt"
colours "$tmp/msaa.png" >"$tmp/msaa.txt"
new=$(comm -13 "$tmp/default.txt" "$tmp/msaa.txt" | wc -l)
echo "colours only in the 4-sample screenshot: $new"
check "QUILLMERE_SAMPLES=4: quillmere's edges have blends the default run lacks" test "$new" -ge 50
for value in 0 -1 64 text; do
    shot "$tmp/bad.png" "$value"
    check "QUILLMERE_SAMPLES=$value: quillmere starts and draws as without it" \
        test "$(compare -metric AE "$tmp/default.png" "$tmp/bad.png" null: 2>&1)" = 0
done

# Without framebuffer objects the window and supersampling are measured, and the status says the report is partial.
MESA_GL_VERSION_OVERRIDE=2.1 MESA_EXTENSION_OVERRIDE=-GL_ARB_framebuffer_object \
    "$tool" --size 160x120 --reference-k 2 --out "$tmp/nofbo" >"$tmp/nofbo.log" 2>&1
status=$?
check "no framebuffer objects: status 5" test $status -eq 5
check "no framebuffer objects: window (and quillmere's presented picture) and ssaa only, marked partial" \
    test "$(field "$tmp/nofbo" "sorted(c), d['complete']")" = "['presented', 'ssaa-2x2', 'ssaa-3x3', 'ssaa-4x4', 'window'] False"
# Then every frame goes to the window's back buffer, which has nothing past its client area.
MESA_GL_VERSION_OVERRIDE=2.1 MESA_EXTENSION_OVERRIDE=-GL_ARB_framebuffer_object \
    "$tool" --size 2000x1000 --reference-k 2 --out "$tmp/nofbo-big" >"$tmp/nofbo-big.log" 2>&1
check "no framebuffer objects, --size past the window: status 4" test $? -eq 4
check "every results.json here matches docs/results.schema.json" /usr/bin/python3 "$(dirname "$0")/check_results.py" schema "$tmp"/*/results.json
exit $fail

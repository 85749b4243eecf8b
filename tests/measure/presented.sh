#!/usr/bin/env bash
# quillmere's presented window, captured by the tool on X servers of this script's own:
# equal to the tool's back buffer where nothing changes it (one sample and 4-sample
# windows, a 16-bit screen, a compositor that copies), different under a compositor that
# blurs or shifts windows, a missing program said so in the report, and a program that
# ignores the close request killed and said so.
# Usage: presented.sh QUILLMERE_MEASURE QUILLMERE FILTER_COMPOSITOR STUBBORN_WINDOW
set -uo pipefail
tool=$1
program=$(realpath "$2")
compositor=$3
stubborn=$(realpath "$4")
. "$(dirname "$0")/../wait.sh"
tmp=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    [ -n "${KEEP:-}" ] && cp -r "$tmp" "$KEEP"; rm -rf "$tmp"
}
trap cleanup EXIT
fail=0
# check NAME COMMAND...: the command's status decides.
check() { local name=$1; shift; if "$@"; then echo "ok: $name"; else echo "FAILED: $name"; fail=1; fi; }
field() { python3 -c "import json; d=json.load(open('$1/results.json')); p=d['presented']; w=d['window']; c={x['name']:x for x in d['captures']}; print($2)"; }

server() {  # server DEPTH [XVFB OPTION...]: a fresh X server; its display in $display
    start_xvfb -screen 0 "1280x1024x$1" "${@:2}" || { echo "FAILED: Xvfb did not start"; exit 1; }
    pids+=("$xvfb_pid")
    display=$xvfb_display
}
measure() {  # measure OUT [VAR=VALUE...] [-- TOOL OPTION...]: the tool at 320x240 on $display
    local out=$1 vars=() options=()
    shift
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do vars+=("$1"); shift; done
    [ $# -gt 0 ] && shift && options=("$@")
    env -u QUILLMERE_SAMPLES DISPLAY="$display" "${vars[@]}" "$tool" --modes window --reference-k 2 --out "$out" \
        --size 320x240 "${options[@]}" >"$out.log" 2>&1
    echo "$? $(field "$out" "p['captured'], p.get('differs'), p.get('differing_pixels'), p.get('method')")" >"$out.status"
}
with_compositor() {  # with_compositor MODE OUT: one measurement while the compositor runs in MODE
    DISPLAY="$display" "$compositor" "$1" >"$tmp/compositor.out" 2>&1 &
    local cpid=$!
    await_file_line "$tmp/compositor.out" 1 '^ready$' >/dev/null || echo "FAILED: the $1 compositor did not start"
    measure "$2" --
    kill $cpid
    wait $cpid 2>/dev/null
}

server 24
# The program beside the tool, or in the folder above it (the build tree), is found by itself.
measure "$tmp/plain"
check "24-bit, one sample: status 0, captured, equal to the back buffer" \
    test "$(cut -d' ' -f1-4 "$tmp/plain.status")" = "0 True False 0"
check "24-bit: the program found beside the tool" test "$(field "$tmp/plain" "p['program']")" = "$program"
check "24-bit: the window's own contents, no compositor" grep -q "no compositor" "$tmp/plain.status"
check "24-bit: 8-8-8 bits, nothing requested" \
    test "$(field "$tmp/plain" "w['red_bits'], w['green_bits'], w['blue_bits'], w['samples_requested'], c['window']['requested']")" = "8 8 8 0 0"
check "24-bit: closed as a window manager closes it" grep -q "closed by WM_DELETE_WINDOW, exit status 0" "$tmp/plain/results.json"

# At the window's own size the two pictures are equal bit for bit, multisampled too.
env DISPLAY="$display" QUILLMERE_SAMPLES=4 "$tool" --modes window --reference-k 2 --program "$program" \
    --out "$tmp/msaa" >"$tmp/msaa.log" 2>&1
check "QUILLMERE_SAMPLES=4, 820x600: status 0" test $? -eq 0
check "QUILLMERE_SAMPLES=4: 4 requested, 4 granted, in the window object and the window row" \
    test "$(field "$tmp/msaa" "w['samples_requested'], w['sample_buffers'], w['samples'], c['window']['requested'], c['window']['granted']")" = "4 1 4 4 4"
check "QUILLMERE_SAMPLES=4: presented equals the back buffer exactly" \
    test "$(field "$tmp/msaa" "p['captured'], p['width'], p['height'], p['tolerance_levels'], p['differing_pixels']")" = "True 820 600 0 0"

with_compositor copy "$tmp/copy"
check "copying compositor: captured from the screen, equal" \
    test "$(cut -d' ' -f1-4 "$tmp/copy.status")" = "0 True False 0"
check "copying compositor: the screen's pixels were read" grep -q "compositor running" "$tmp/copy.status"
for mode in blur shift; do
    with_compositor $mode "$tmp/$mode"
    check "$mode compositor: the change is detected" test "$(cut -d' ' -f1-3 "$tmp/$mode.status")" = "0 True True"
    check "$mode compositor: on thousands of pixels" test "$(cut -d' ' -f4 "$tmp/$mode.status")" -gt 2000
    check "$mode compositor: the report says the picture changes when shown" \
        grep -q "changes the picture when it is shown" "$tmp/$mode/results.json"
done

measure "$tmp/missing" -- --program "$tmp/no-such-program"
check "missing program: status 0, not captured" test "$(cut -d' ' -f1-2 "$tmp/missing.status")" = "0 False"
check "missing program: the reason, and the back buffer used" \
    grep -q "not an executable.*the window row is the tool's own back buffer" "$tmp/missing/results.json"
measure "$tmp/stubborn" -- --program "$stubborn"
check "a window that ignores WM_DELETE_WINDOW: captured, differs, killed and said so" \
    test "$(field "$tmp/stubborn" "p['captured'], p['differs'], p['closed']")" = \
    "True True killed: it did not end within 3 s of WM_DELETE_WINDOW"

# A 16-bit screen; Composite would add a 32-bit visual that an 8-bit request takes.
server 16 -extension Composite
measure "$tmp/565" -- --program "$program"
check "16-bit: captured, equal to the back buffer" test "$(cut -d' ' -f1-4 "$tmp/565.status")" = "0 True False 0"
check "16-bit: 5-6-5 reported for the window and read from the display" \
    test "$(field "$tmp/565" "w['red_bits'], w['green_bits'], w['blue_bits'], p['display_bits'], p['compared_bits']")" = "5 6 5 [5, 6, 5] [5, 6, 5]"
check "every results.json here matches docs/results.schema.json" \
    /usr/bin/python3 "$(dirname "$0")/check_results.py" schema "$tmp"/*/results.json
exit $fail

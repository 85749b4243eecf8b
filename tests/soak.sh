#!/usr/bin/env bash
# The program under a long stretch of window-system traffic, on its own Xvfb with a window
# manager (openbox, which minimising needs):
#   soak.sh SECONDS XCLOSE PROGRAM...
# PROGRAM is quillmere_checked (the program with a check after every frame, which reports
# at exit). For SECONDS the window is resized continuously while, in turn, the focus moves
# to another window and back, the window is minimised and restored, and it is clicked and
# typed into; then it is closed through the window manager protocol.
# Pass: exit status 0; no OpenGL error after any frame; frames drawn while unfocused
# (through paint); resident memory, and the heap in use, grow by less than 1 MB from the
# end of the warm-up (10 s, or a third of a shorter run) to the end. Both are measured in
# a calm moment (resizing paused, window focused at 820 x 600 and drawing for a second),
# since the driver's buffers follow the window's size. QUILL_SOAK_MEMORY=off leaves the memory
# unjudged (the sanitizer build).
set -u
duration=$1 xclose=$2
shift 2
title="Quillmere (by Vennick)"
warmup=$((duration / 3 < 10 ? duration / 3 : 10))
log=$(mktemp)
pids=()

fail() {
    echo "FAIL: soak: $*"
    [ -s "$log" ] && sed 's/^/  program: /' "$log"
    exit 1
}
cleanup() {
    for p in "${pids[@]}" ${program:-} ${xvfb:-}; do
        kill -9 "$p" 2>/dev/null
        wait "$p" 2>/dev/null
    done
    rm -f "$log"
}
trap cleanup EXIT

. "$(dirname "$0")/wait.sh"
# -noreset: each short-lived client (xprop, xdotool) ending must not reset the server while
# the next one connects, which can refuse that connection.
start_xvfb -screen 0 1280x1024x24 -nolisten tcp -noreset || fail "Xvfb did not start"
xvfb=$xvfb_pid
export DISPLAY=$xvfb_display

openbox --sm-disable >/dev/null 2>&1 </dev/null &
wm=$!
pids+=("$wm")
await_root_property _NET_SUPPORTING_WM_CHECK 'window id' || fail "the window manager did not start"
# Somewhere else for the focus to go.
xev -geometry 200x150+1000+700 >/dev/null 2>&1 </dev/null &
pids+=($!)
other=$(await_window --name '^Event Tester$')
[ -n "$other" ] || fail "no second window"

"$@" 2>"$log" &
program=$!
window=$(await_window --name "^Quillmere \(by Vennick\)\$")
[ -n "$window" ] || fail "the window never appeared"

# xdotool, never waiting more than 10 s for the window manager.
xdo() { timeout 10 xdotool "$@" 2>/dev/null; }

# Resizes in the background, round a cycle of sizes large and tiny.
resizer=""
start_resizing() {
    (
        sizes=(820x600 1200x900 1x1 640x480 1100x40 40x900 300x200 2x2 1024x768 500x500 1x900)
        i=0
        while :; do
            size=${sizes[i % ${#sizes[@]}]}
            xdo windowsize "$window" "${size%x*}" "${size#*x}"
            i=$((i + 1))
            sleep 0.02  # the pace of the resizing, a stimulus
        done
    ) &
    resizer=$!
    pids+=("$resizer")
}
stop_resizing() {
    kill "$resizer" 2>/dev/null
    wait "$resizer" 2>/dev/null
}
# The resident set and the heap in use in a calm moment: resizing paused, focused, at
# 820 x 600, drawing for a second; the checked build trims the allocator first (SIGUSR1)
# and reports the heap at its next frame.
calm_memory() {
    local from heap
    stop_resizing
    xdo windowactivate --sync "$window" windowsize --sync "$window" 820 600
    sleep 1  # the calm second of drawing, a stimulus
    from=$(($(wc -l <"$log") + 1))
    kill -USR1 "$program"
    heap=$(await_file_line "$log" "$from" '^frame-checks: heap_in_use_kb=')
    echo "$(awk '/^VmRSS:/ { print $2 }' "/proc/$program/status") ${heap#*=}"
}

start_resizing
start=$SECONDS
cycles=0 unfocused=0 minimised=0
warm=""
while [ $((SECONDS - start)) -lt "$duration" ]; do
    kill -0 "$program" 2>/dev/null || fail "the program ended during the run"
    if [ -z "$warm" ] && [ $((SECONDS - start)) -ge "$warmup" ]; then
        warm=$(calm_memory)
        start_resizing
    fi
    xdo windowactivate --sync "$other"
    [ "$(xdo getactivewindow)" = "$other" ] && unfocused=$((unfocused + 1))
    # These pauses are the stimulus (a second unfocused, a moment minimised), not waits.
    sleep 1
    xdo windowactivate --sync "$window"
    xdo windowminimize --sync "$window"
    xprop -id "$window" WM_STATE 2>/dev/null | grep -q Iconic && minimised=$((minimised + 1))
    sleep 0.5
    xdo windowactivate --sync "$window"
    xdo mousemove --window "$window" 30 30 click 1 click 3
    xdo type --delay 5 "soak $cycles"
    xdo key Escape Return
    sleep 0.5
    cycles=$((cycles + 1))
done
kill -0 "$program" 2>/dev/null || fail "the program ended during the run"
end=$(calm_memory)

"$xclose" "$title" "$wait_ceiling" || fail "could not ask the window to close"
await_child "$program" || fail "still running $wait_ceiling s after the close request"
status=$child_status
[ "$status" -eq 0 ] || fail "exit status $status, expected 0"

line=$(grep '^frame-checks: frames=' "$log")
[ -n "$line" ] || fail "no report from the checked build"
value() { sed -n "s/.*\b$1=\([^ ]*\).*/\1/p" <<<"$line"; }
echo "soak: $duration s, $cycles cycles (focus away $unfocused times, minimised $minimised times); $line"
if [ "$unfocused" -eq 0 ] || [ "$minimised" -eq 0 ]; then
    kill -0 "$wm" 2>/dev/null && state="running" || state="gone"
    fail "the focus never moved away, or the window was never minimised (window manager $state)"
fi
[ "$(value gl_errors)" -eq 0 ] || fail "OpenGL errors after frames (first $(value first_error))"
[ "$(value unfocused_frames)" -gt 0 ] || fail "no frame drawn while unfocused"
read -r rss_warm heap_warm <<<"$warm"
read -r rss_end heap_end <<<"$end"
[ -n "$heap_warm" ] && [ -n "$heap_end" ] || fail "no memory sample"
growth=$((rss_end - rss_warm))
heap_growth=$((heap_end - heap_warm))
echo "soak: after $warmup s: resident $rss_warm kB, heap $heap_warm kB; at the end: resident $rss_end kB, heap $heap_end kB"
if [ "${QUILL_SOAK_MEMORY:-on}" = off ]; then
    echo "soak: memory growth not judged (QUILL_SOAK_MEMORY=off: a sanitizer's quarantine holds freed memory)"
else
    [ "$growth" -lt 1024 ] || fail "resident memory grew by $growth kB after the first $warmup s"
    [ "$heap_growth" -lt 1024 ] || fail "the heap in use grew by $heap_growth kB after the first $warmup s"
fi
echo "ok: soak: exit status 0, no OpenGL error, $(value unfocused_frames) frames unfocused; after $warmup s resident memory $growth kB, heap $heap_growth kB"

#!/usr/bin/env bash
# The program on Wayland: a headless sway (pixman, no GPU, no input devices), run with the
# program and the live suites as an unprivileged user, since sway refuses to run as root;
# then a compositor without an input seat (Weston's headless backend).
#   tests/wayland.sh [BUILD]     BUILD defaults to build/linux
# On sway: the window with its title as a native (xdg-shell) window, frames drawn without
# an OpenGL error, a screenshot whose ring fills the tiled window and, after a resize,
# the new size (the viewport follows), the close ending the program with 0; the same
# backend seen the way the README tells a user to look; the GoogleTest suites that make
# a window; quillmere-measure's window capture and quillmere's presented window, copied
# from sway's screen, equal to it (and what the capture finds offered). Without a seat:
# -1 and one line on stderr, X11 when there is an X display (DISPLAY, as under xvfb-run),
# never a signal; Weston offers no screen copy either, and the capture says so. Where two
# displays are offered, which one SDL picks. The screenshot is left as BUILD/wayland/sway.png.
set -u
cd "$(dirname "$0")/.."
. tests/wait.sh
build=${1:-build/linux}
title="Quillmere (by Vennick)"
started=$SECONDS
failures=0

say() { echo "wayland: $*"; }
fail() {
    echo "FAIL: wayland: $*"
    failures=$((failures + 1))
}
skip() { echo "wayland: SKIPPED $*"; }

for tool in sway swaymsg grim weston wayland-info jq convert setpriv; do
    if ! command -v "$tool" >/dev/null; then
        echo "FAIL: wayland: $tool is missing (scripts/install-deps.sh installs it)"
        exit 1
    fi
done

work=$(mktemp -d /tmp/quillmere-wayland.XXXXXX)
chmod 755 "$work"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

# The user the compositor and the programs run as: an ordinary one made for the purpose
# when this runs as root (as in CI), otherwise whoever runs this.
if [ "$(id -u)" -eq 0 ]; then
    user=quillmere-wayland
    id "$user" >/dev/null 2>&1 ||
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user" ||
        { echo "FAIL: wayland: cannot create the user $user"; exit 1; }
    as_user=(setpriv --reuid="$(id -u "$user")" --regid="$(id -g "$user")" --clear-groups --)
else
    user=$(id -un)
    as_user=()
fi
# The build tree may not be readable by that user: the programs run from copies.
mkdir -p "$work/bin" "$work/home" "$work/run" "$work/out"
cp "$build/quillmere" "$build/tests/quillmere_checked" "$work/bin/"
live_suites=(platform_tests app_tests context_tests frame_tests texture_tests mesh_draw_tests
             input_startup_tests input_live_tests)
for t in "${live_suites[@]}"; do cp "$build/tests/$t" "$work/bin/"; done
chmod -R a+rX "$work/bin"
chmod 700 "$work/run"
chown "$user" "$work/home" "$work/run" "$work/out"

# Once it serves clients, sway runs ready.sh, which leaves its socket and IPC socket in a file.
cat >"$work/ready.sh" <<'EOF'
#!/bin/sh
echo "ready $WAYLAND_DISPLAY $SWAYSOCK" >>"$XDG_RUNTIME_DIR/ready"
EOF
chmod 755 "$work/ready.sh"

# The window rules: the program's window tiles (so sway resizes it at once); the test
# suites' windows float and keep the size they ask for, as on an X server without a
# window manager.
cat >"$work/sway.conf" <<EOF
exec $work/ready.sh
output HEADLESS-1 resolution 1024x768
default_border none
default_floating_border none
xwayland disable
for_window [app_id="_tests\$"] floating enable
EOF
chmod 644 "$work/sway.conf"

# Runs a command as the user, with nothing from this environment but what is named: no
# DISPLAY, so nothing can reach the X server that xvfb-run provides.
session=(HOME="$work/home" PATH=/usr/sbin:/usr/bin:/sbin:/bin XDG_RUNTIME_DIR="$work/run")
as() { "${as_user[@]}" env -i "${session[@]}" "$@"; }
# The same in the background (as start_as ... &): the process itself, so that $! is its pid.
start_as() { exec "${as_user[@]}" env -i "${session[@]}" "$@"; }

start_as WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 sway -c "$work/sway.conf" \
    >"$work/sway.log" 2>&1 </dev/null &
sway_pid=$!
pids+=("$sway_pid")
socket="" ipc=""
read -r _ socket ipc <<<"$(await_file_line "$work/run/ready" 1 '^ready ')"
if [ -z "$socket" ] || [ -z "$ipc" ]; then
    echo "FAIL: wayland: sway did not start:"
    tail -n 20 "$work/sway.log"
    exit 1
fi
session+=(WAYLAND_DISPLAY="$socket" SWAYSOCK="$ipc")
say "sway as $user on $socket ($((SECONDS - started)) s)"

# The first window of the program on sway as JSON ({app_id, shell, rect}) once one meets
# the jq condition $1 (any if none); empty if none does within the ceiling. Sway's window
# events wake it; a check each second covers the changes sway sends no event for (a size)
# and any before the subscription took hold.
window_json() {
    local events watcher json
    exec {events}< <(exec timeout "$wait_ceiling" "${as_user[@]}" env -i "${session[@]}" \
        swaymsg -r -m -t subscribe '["window"]' 2>/dev/null)
    watcher=$!
    while :; do
        json=$(as swaymsg -t get_tree | jq -c --arg t "$title" \
            "first(.. | objects | select(.name? == \$t and .app_id? != null)) | {app_id, shell, rect}
             | select(${1:-true})")
        [ -n "$json" ] && break
        read -r -t 1 -u "$events" _ || [ $? -gt 128 ] || break
    done
    kill "$watcher" 2>/dev/null
    exec {events}<&-
    echo "$json"
}

# A screenshot (grim, of the region $2 if given) into $1 once the picture holds still: two
# taken back to back alike and more than one colour; false at the ceiling.
still_screenshot() {
    local deadline=$((SECONDS + wait_ceiling))
    as grim -t ppm ${2:+-g "$2"} "$1"
    while [ "$SECONDS" -lt "$deadline" ]; do
        as grim -t ppm ${2:+-g "$2"} "$1.next"
        cmp -s "$1" "$1.next" && [ "$(convert "$1" -format %k info: 2>/dev/null)" -gt 1 ] && return 0
        mv "$1.next" "$1"
    done
    return 1
}

# Waits for child $1 to end (at most the ceiling, then it is killed); sets status.
await_status() {
    await_child "$1"
    status=$child_status
}

# Where the ring lies in a screenshot of the window, as fractions of the window: its width
# and height, and its centre's offset from the window's centre in x and y. Blank: nothing.
ring_box() {
    local box
    box=$(convert "$1" -fuzz 5% -format '%@' info: 2>/dev/null)
    [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return
    awk -v w="${BASH_REMATCH[1]}" -v h="${BASH_REMATCH[2]}" -v x="${BASH_REMATCH[3]}" -v y="${BASH_REMATCH[4]}" \
        -v W="$2" -v H="$3" \
        'BEGIN { printf "%.3f %.3f %.3f %.3f\n", w / W, h / H, (x + w / 2) / W - 0.5, (y + h / 2) / H - 0.5 }'
}

# --- The program on sway ---------------------------------------------------------------
start_as "$work/bin/quillmere_checked" >"$work/out/checked.log" 2>&1 </dev/null &
program=$!
pids+=("$program")
json=$(window_json)
if [ -z "$json" ]; then
    fail "no window titled \"$title\" on sway"
else
    say "window: $json"
    [ "$(jq -r .shell <<<"$json")" = xdg_shell ] && say "ok: a native Wayland (xdg-shell) window titled \"$title\"" ||
        fail "the window is not a native Wayland one"
    # Each screenshot once sway has the window at its size (sway applies a size once the
    # program has drawn at it, or a moment has passed) and its picture holds still.
    still_screenshot "$work/out/tiled.ppm" || fail "the tiled window's picture never held still"
    tiled=$(ring_box "$work/out/tiled.ppm" 1024 768)
    as swaymsg '[app_id="^quillmere"] floating enable, resize set 640 480, move absolute position 0 0' >/dev/null
    [ -n "$(window_json '.rect.width == 640 and .rect.height == 480')" ] || fail "the window never reached 640 x 480"
    still_screenshot "$work/out/resized.ppm" "0,0 640x480" || fail "the resized window's picture never held still"
    resized=$(ring_box "$work/out/resized.ppm" 640 480)
    say "ring in the tiled window (1024 x 768): ${tiled:-nothing}; after the resize to 640 x 480: ${resized:-nothing}"
    # Both sizes: the ring centred, neither missing nor filling the whole window, and the
    # same share of each; a viewport left at the old size would cut or shrink it.
    if awk -v a="$tiled" -v b="$resized" 'BEGIN {
            if (split(a, p, " ") != 4 || split(b, q, " ") != 4) exit 1
            for (i = 1; i <= 2; i++) {
                if (p[i] < 0.3 || p[i] > 0.99 || q[i] < 0.3 || q[i] > 0.99) exit 1
                if (p[i] - q[i] > 0.03 || q[i] - p[i] > 0.03) exit 1
            }
            for (i = 3; i <= 4; i++) if (p[i] > 0.02 || p[i] < -0.02 || q[i] > 0.02 || q[i] < -0.02) exit 1
        }'; then
        say "ok: the ring is drawn and fills the window the same way at both sizes (the viewport follows)"
    else
        fail "the ring does not follow the window's size"
    fi
    mkdir -p "$build/wayland"
    convert "$work/out/tiled.ppm" "$build/wayland/sway.png"
    as swaymsg '[app_id="^quillmere"] kill' >/dev/null
fi
await_status "$program"
frames=$(sed -n 's/^frame-checks: frames=\([0-9]*\).*gl_errors=\([0-9]*\).*/\1 \2/p' "$work/out/checked.log")
if [ "$status" = 0 ] && [ "${frames% *}" -ge 10 ] 2>/dev/null && [ "${frames#* }" = 0 ]; then
    say "ok: closed by sway, exit status 0; ${frames% *} frames, no OpenGL error"
else
    fail "after the close: exit status $status, frames and OpenGL errors: ${frames:-none reported}"
    tail -n 5 "$work/out/checked.log"
fi

# The plain program, and the way the README tells a user to see its backend: with
# WAYLAND_DEBUG=1 the Wayland library logs the window's title being set.
start_as WAYLAND_DEBUG=1 "$work/bin/quillmere" >/dev/null 2>"$work/out/debug.log" </dev/null &
program=$!
pids+=("$program")
[ -n "$(window_json)" ] && as swaymsg '[app_id="^quillmere"] kill' >/dev/null
await_status "$program"
if [ "$status" = 0 ] && grep -q "xdg_toplevel@[0-9]*\.set_title(\"$title\")" "$work/out/debug.log"; then
    say "ok: quillmere ran and ended with 0; WAYLAND_DEBUG=1 shows its title set through xdg_toplevel"
else
    fail "quillmere with WAYLAND_DEBUG=1: exit status $status, title seen: $(grep -c 'set_title' "$work/out/debug.log")"
fi

# --- Two displays: sway and an X server (Xvfb here, as Xwayland would be) --------------
# SDL 2.26 picks X11 by default; SDL_VIDEODRIVER=wayland takes it to the compositor. This
# runs as the caller, who can reach both.
if [ -n "${DISPLAY:-}" ]; then
    both=(XDG_RUNTIME_DIR="$work/run" WAYLAND_DISPLAY="$work/run/$socket")
    env "${both[@]}" "$build/quillmere" >/dev/null 2>&1 </dev/null &
    program=$!
    pids+=("$program")
    if "$build/tests/xclose" "$title" "$wait_ceiling" && await_status "$program" && [ "$status" = 0 ]; then
        say "ok: with both displays the program ran on X11 and ended with 0"
    else
        kill -9 "$program" 2>/dev/null
        fail "with both displays the program did not run on X11 (or did not end with 0)"
    fi
    env "${both[@]}" SDL_VIDEODRIVER=wayland "$build/quillmere" >/dev/null 2>&1 </dev/null &
    program=$!
    pids+=("$program")
    json=$(window_json)
    [ -n "$json" ] && as swaymsg '[app_id="^quillmere"] kill' >/dev/null
    await_status "$program"
    if [ "$(jq -r .shell <<<"$json" 2>/dev/null)" = xdg_shell ] && [ "$status" = 0 ]; then
        say "ok: with both displays and SDL_VIDEODRIVER=wayland the program ran on sway and ended with 0"
    else
            fail "with both displays and SDL_VIDEODRIVER=wayland: window ${json:-none}, exit status $status"
    fi
else
    skip "two displays: DISPLAY is not set (scripts/test.sh runs this under xvfb-run)"
fi

# --- The GoogleTest suites that make a window ------------------------------------------
for t in "${live_suites[@]}"; do
    as timeout 120 "$work/bin/$t" --gtest_brief=1 >"$work/out/$t.log" 2>&1 </dev/null
    status=$?
    summary=$(grep -E '^\[  (PASSED|FAILED|SKIPPED) ' "$work/out/$t.log" | tr -s ' ' | paste -sd ';' -)
    if [ "$status" -eq 0 ]; then
        say "ok: $t: $summary"
        grep -A1 -m1 'Skipped$' "$work/out/$t.log" | tail -n1 | sed 's/^/wayland:   skipped because: /'
    else
        fail "$t (status $status)"
        cat "$work/out/$t.log"
    fi
done
skip "here: vec_tests mesh_tests test_image_tests input_double_tests make no window (nothing differs on Wayland)"
skip "here: exit_status.* soak valgrind start or kill X servers of their own, or drive one (xclose, xdotool, openbox)"

# --- The measurement tool's window capture ---------------------------------------------
measure=$build/measure/quillmere-measure
if [ -x "$measure" ]; then
    cp "$measure" "$build/measure/tests/present_wayland_tests" "$work/bin/"
    chmod a+rx "$work/bin/quillmere-measure" "$work/bin/present_wayland_tests"
    # What the capture finds offered: screen copies and sway's IPC; without the IPC socket,
    # no way to tell where the window lies (the Support values of present_wayland.h).
    for expect in "3 $ipc" "2 "; do
        support=${expect%% *} sock=${expect#* } socket_state=set
        [ -n "$sock" ] || socket_state=empty
        if as SWAYSOCK="$sock" QUILL_EXPECT_SUPPORT="$support" "$work/bin/present_wayland_tests" \
            --gtest_filter='PresentWaylandLive.*' >"$work/out/support.log" 2>&1 &&
            ! grep -q SKIPPED "$work/out/support.log"; then
            say "ok: with SWAYSOCK $socket_state the capture finds support $support"
        else
            fail "with SWAYSOCK $socket_state the capture does not find support $support"
            cat "$work/out/support.log"
        fi
    done
    if as timeout 120 "$work/bin/quillmere-measure" --modes window --size 320x240 --reference-k 4 \
        --out "$work/out/measure" >"$work/out/measure.log" 2>&1 </dev/null &&
        jq -e '.captures | any(.name == "window")' "$work/out/measure/results.json" >/dev/null 2>&1; then
        say "ok: quillmere-measure captured its window on sway: $(jq -c '.captures[] | select(.name == "window")' \
            "$work/out/measure/results.json" | cut -c1-300)"
        /usr/bin/python3 tests/measure/check_results.py schema "$work/out/measure/results.json" ||
            fail "quillmere-measure's results.json on sway against docs/results.schema.json"
        # quillmere beside the tool, started by it, floated at 320 x 240 and copied from the
        # screen through wlr-screencopy: what sway shows equals the tool's back buffer.
        presented=$(jq -c '.presented | del(.program)' "$work/out/measure/results.json")
        if jq -e '.presented | .captured and .compared and .differing_pixels == 0 and .width == 320
                and .height == 240' "$work/out/measure/results.json" >/dev/null; then
            say "ok: quillmere's presented window on sway equals the back buffer: $presented"
        else
            fail "quillmere's presented window on sway: $presented"
        fi
        # At the tool's own window size nothing is drawn in a corner: equal bit for bit.
        if as timeout 120 "$work/bin/quillmere-measure" --modes window --reference-k 2 --out "$work/out/whole" \
            >"$work/out/whole.log" 2>&1 </dev/null &&
            jq -e '.presented | .captured and .compared and .tolerance_levels == 0 and .max_difference == 0' \
                "$work/out/whole/results.json" >/dev/null; then
            size=$(jq -r '.presented | "\(.width) x \(.height)"' "$work/out/whole/results.json")
            say "ok: at the tool's window size, $size, quillmere's presented window equals it bit for bit"
        else
            fail "quillmere's presented window on sway at the tool's size: $(jq -c '.presented | del(.program)' \
                "$work/out/whole/results.json" 2>/dev/null || tail -n 5 "$work/out/whole.log")"
        fi
    else
        fail "quillmere-measure --modes window on sway"
        tail -n 20 "$work/out/measure.log"
    fi
else
    fail "quillmere-measure window capture: $measure is not built"
fi

kill "$sway_pid" 2>/dev/null

# --- A compositor without an input seat ------------------------------------------------
# Weston's headless backend runs as whoever runs this (root included) and has no wl_seat.
mkdir -p "$work/weston-run"
chmod 700 "$work/weston-run"
seatless=(XDG_RUNTIME_DIR="$work/weston-run" WAYLAND_DISPLAY=quillmere-seatless)
# Once it serves clients, weston runs ready.sh, as sway did.
printf '[autolaunch]\npath=%s\n' "$work/ready.sh" >"$work/weston.ini"
env "${seatless[@]}" weston --backend=headless-backend.so --socket=quillmere-seatless --idle-time=0 \
    --config="$work/weston.ini" >"$work/weston.log" 2>&1 </dev/null &
pids+=($!)
await_file_line "$work/weston-run/ready" 1 '^ready ' >/dev/null
env "${seatless[@]}" wayland-info >"$work/out/globals.txt" 2>&1
if ! grep -q wl_compositor "$work/out/globals.txt"; then
    fail "weston's headless backend did not start"
    tail -n 20 "$work/weston.log"
elif grep -q "'wl_seat'" "$work/out/globals.txt"; then
    fail "weston's headless backend offers a wl_seat here: the seatless case cannot be tried"
else
    say "weston (headless) offers no wl_seat"
    # Nor a screen copy: the capture says so rather than trying.
    if env -u DISPLAY "${seatless[@]}" QUILL_EXPECT_SUPPORT=1 "$build/measure/tests/present_wayland_tests" \
        --gtest_filter='PresentWaylandLive.*' >"$work/out/support.log" 2>&1 && ! grep -q SKIPPED "$work/out/support.log"
    then
        say "ok: on weston the capture finds no screen-copy protocol"
    else
        fail "on weston the capture does not find the screen-copy protocol missing"
        cat "$work/out/support.log"
    fi
    # Without an X display, and with the user forcing SDL's Wayland backend: -1, one line.
    for forced in "" wayland; do
        env -u DISPLAY "${seatless[@]}" ${forced:+SDL_VIDEODRIVER=$forced} timeout "$wait_ceiling" "$build/quillmere" \
            >/dev/null 2>"$work/out/seatless.err" </dev/null
        status=$?
        lines=$(wc -l <"$work/out/seatless.err")
        case_name="no seat${forced:+, SDL_VIDEODRIVER=$forced}"
        if [ "$status" -eq 255 ] && [ "$lines" -eq 1 ] && grep -q wl_seat "$work/out/seatless.err"; then
            say "ok: $case_name: exit status -1 and: $(cat "$work/out/seatless.err")"
        else
            fail "$case_name: exit status $status (signal if above 128), $lines lines on stderr"
            cat "$work/out/seatless.err"
        fi
    done
    # With an X display as well: the program runs there.
    if [ -n "${DISPLAY:-}" ]; then
        env "${seatless[@]}" "$build/quillmere" >/dev/null 2>"$work/out/seatless-x.err" </dev/null &
        program=$!
        pids+=("$program")
        if "$build/tests/xclose" "$title" "$wait_ceiling"; then
            await_status "$program"
            [ "$status" = 0 ] && say "ok: no seat, X display $DISPLAY: ran on X11, closed there, exit status 0" ||
                fail "no seat, X display: exit status $status after the close"
        else
            kill -9 "$program" 2>/dev/null
            fail "no seat, X display $DISPLAY: no window on the X display"
            cat "$work/out/seatless-x.err"
        fi
    else
        skip "no seat with an X display: DISPLAY is not set (scripts/test.sh runs this under xvfb-run)"
    fi
fi

say "done in $((SECONDS - started)) s, $failures failed"
[ "$failures" -eq 0 ]

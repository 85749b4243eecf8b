#!/usr/bin/env bash
# Runs the program as a process and checks how it ends.
#   exit_status.sh close     XCLOSE PROGRAM...  closed through the window manager protocol: 0
#   exit_status.sh noglx     XCLOSE PROGRAM...  an X server without GLX: -1 (255)
#   exit_status.sh nodisplay XCLOSE PROGRAM...  no display at all: -1 (255)
#   exit_status.sh serverdeath XCLOSE PROGRAM...  its X server killed at moments over start-up
#                                               and while it draws: ends (never hangs), by
#                                               exiting with 1, or -1 (255) if start-up had
#                                               not finished; never by a signal
set -u
mode=$1 xclose=$2
shift 2

expect_status() {
    local want=$1 got=$2
    if [ "$got" -ne "$want" ]; then
        echo "FAIL: $mode: exit status $got, expected $want"
        exit 1
    fi
    echo "ok: $mode: exit status $got"
}

. "$(dirname "$0")/wait.sh"

# A private Xvfb; sets xvfb (its pid) and private_display.
start_private_xvfb() {
    if ! start_xvfb -screen 0 1024x768x24 -nolisten tcp "$@"; then
        echo "FAIL: $mode: Xvfb did not start"
        exit 1
    fi
    xvfb=$xvfb_pid private_display=$xvfb_display
}

# Waits for child $1 to end (the ceiling at most) and sets status; fails with $2 if it does not.
await_exit() {
    if ! await_child "$1"; then
        echo "FAIL: $2"
        exit 1
    fi
    status=$child_status
}

case "$mode" in
close)
    "$@" &
    pid=$!
    if ! "$xclose" "Quillmere (by Vennick)" "$wait_ceiling"; then
        kill -9 "$pid" 2>/dev/null
        echo "FAIL: the window never appeared"
        exit 1
    fi
    await_exit "$pid" "still running $wait_ceiling s after the close request"
    expect_status 0 "$status"
    ;;
noglx)
    start_private_xvfb -extension GLX
    DISPLAY=$private_display timeout "$wait_ceiling" "$@"
    status=$?
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    expect_status 255 "$status"
    ;;
nodisplay)
    env -u DISPLAY -u WAYLAND_DISPLAY timeout "$wait_ceiling" "$@"
    expect_status 255 $?
    ;;
serverdeath)
    # The X server killed at moments spread over start-up, then once while drawing.
    shot=$(mktemp --suffix=.png)
    for moment in 0.05 0.15 0.25 0.35 0.5 0.7 0.9 1.2 1.6 drawing; do
        start_private_xvfb
        export DISPLAY=$private_display
        "$@" 2>/dev/null &
        pid=$!
        if [ "$moment" = drawing ]; then
            window=$(await_window --name "^Quillmere \(by Vennick\)\$")
            if [ -z "$window" ] || ! await_drawn "$window" "$shot"; then
                kill -9 "$pid" "$xvfb" 2>/dev/null
                echo "FAIL: the window never appeared, or never showed a picture"
                exit 1
            fi
        else
            # The stimulus: these moments are the test's cases, not a wait for anything.
            sleep "$moment"
        fi
        kill -9 "$xvfb"
        wait "$xvfb" 2>/dev/null
        await_exit "$pid" "serverdeath at $moment: still running $wait_ceiling s after its X server died"
        # 1: the display was lost; 255 (-1): it was lost before the context was made.
        allowed="1 255"
        [ "$moment" = drawing ] && allowed=1
        if [[ " $allowed " != *" $status "* ]]; then
            echo "FAIL: serverdeath at $moment: exit status $status, expected one of: $allowed"
            exit 1
        fi
        echo "ok: serverdeath at $moment: exit status $status"
    done
    rm -f "$shot"
    ;;
*)
    echo "unknown mode $mode"
    exit 2
    ;;
esac

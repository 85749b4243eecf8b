#!/usr/bin/env bash
# Runs the program as a process and checks how it ends.
#   exit_status.sh close     XCLOSE PROGRAM...  closed through the window manager protocol: 0
#   exit_status.sh noglx     XCLOSE PROGRAM...  an X server without GLX: -1 (255), promptly
#   exit_status.sh nodisplay XCLOSE PROGRAM...  no display at all: -1 (255), promptly
#   exit_status.sh serverdeath XCLOSE PROGRAM...  its X server killed at moments over start-up
#                                               and while it draws: ends within 10 s, by
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

# Starts a private Xvfb with the given extra arguments; sets xvfb (its pid) and
# private_display.
start_xvfb() {
    local fdfile
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp "$@" 3>"$fdfile" 2>/dev/null </dev/null &
    xvfb=$!
    for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.1; done
    private_display=":$(head -n1 "$fdfile")"
    rm -f "$fdfile"
}

# Waits up to $2 tenths of a second for process $1 to end; kills it and fails with $3 if not.
await_exit() {
    for _ in $(seq "$2"); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
    kill -9 "$1" 2>/dev/null
    echo "FAIL: $3"
    exit 1
}

case "$mode" in
close)
    "$@" &
    pid=$!
    if ! "$xclose" "Quillmere (by Vennick)" 60; then
        kill -9 "$pid" 2>/dev/null
        echo "FAIL: the window never appeared"
        exit 1
    fi
    await_exit "$pid" 300 "still running 30 s after the close request"
    wait "$pid"
    expect_status 0 $?
    ;;
noglx)
    start_xvfb -extension GLX
    DISPLAY=$private_display timeout 60 "$@"
    status=$?
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    expect_status 255 "$status"
    ;;
nodisplay)
    env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 "$@"
    expect_status 255 $?
    ;;
serverdeath)
    # The X server killed at moments spread over start-up, then once while drawing.
    for moment in 0.05 0.15 0.25 0.35 0.5 0.7 0.9 1.2 1.6 drawing; do
        start_xvfb
        export DISPLAY=$private_display
        "$@" 2>/dev/null &
        pid=$!
        if [ "$moment" = drawing ]; then
            if ! timeout 60 xdotool search --sync --name "^Quillmere \(by Vennick\)\$" >/dev/null; then
                kill -9 "$pid" "$xvfb" 2>/dev/null
                echo "FAIL: the window never appeared"
                exit 1
            fi
            sleep 1
        else
            sleep "$moment"
        fi
        kill -9 "$xvfb"
        wait "$xvfb" 2>/dev/null
        await_exit "$pid" 100 "serverdeath at $moment: still running 10 s after its X server died"
        wait "$pid"
        status=$?
        # 1: the display was lost; 255 (-1): it was lost before the context was made.
        allowed="1 255"
        [ "$moment" = drawing ] && allowed=1
        if [[ " $allowed " != *" $status "* ]]; then
            echo "FAIL: serverdeath at $moment: exit status $status, expected one of: $allowed"
            exit 1
        fi
        echo "ok: serverdeath at $moment: exit status $status"
    done
    ;;
*)
    echo "unknown mode $mode"
    exit 2
    ;;
esac

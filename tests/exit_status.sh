#!/usr/bin/env bash
# Runs the program as a process and checks how it ends.
#   exit_status.sh close     XCLOSE PROGRAM...  closed through the window manager protocol: 0
#   exit_status.sh noglx     XCLOSE PROGRAM...  an X server without GLX: -1 (255), promptly
#   exit_status.sh nodisplay XCLOSE PROGRAM...  no display at all: -1 (255), promptly
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

case "$mode" in
close)
    "$@" &
    pid=$!
    if ! "$xclose" "Quillmere (by Vennick)" 60; then
        kill -9 "$pid" 2>/dev/null
        echo "FAIL: the window never appeared"
        exit 1
    fi
    for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
        kill -9 "$pid"
        echo "FAIL: still running 30 s after the close request"
        exit 1
    fi
    wait "$pid"
    expect_status 0 $?
    ;;
noglx)
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -extension GLX -nolisten tcp 3>"$fdfile" 2>/dev/null &
    xvfb=$!
    for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.1; done
    display=":$(head -n1 "$fdfile")"
    rm -f "$fdfile"
    DISPLAY=$display timeout 60 "$@"
    status=$?
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    expect_status 255 "$status"
    ;;
nodisplay)
    env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 "$@"
    expect_status 255 $?
    ;;
*)
    echo "unknown mode $mode"
    exit 2
    ;;
esac

#!/usr/bin/env bash
# The program under valgrind memcheck on its own Xvfb: it draws for SECONDS after its window
# appears, is closed through the window manager protocol, and must end with status 0, no
# memcheck error and no definite leak (SUPPRESSIONS hides the libraries' own, each
# explained there).
#   valgrind.sh SECONDS SUPPRESSIONS XCLOSE PROGRAM...
set -u
seconds=$1 suppressions=$2 xclose=$3
shift 3
. "$(dirname "$0")/wait.sh"
wait_ceiling=$((wait_ceiling * 3 / 2))  # memcheck runs the program many times slower
log=$(mktemp)
trap 'kill -9 "${pid:-}" 2>/dev/null; kill "${xvfb_pid:-}" 2>/dev/null; wait 2>/dev/null; rm -f "$log"' EXIT
# -noreset: a client ending must not reset the server while the next one connects.
start_xvfb -screen 0 1024x768x24 -nolisten tcp -noreset || { echo "FAIL: valgrind: Xvfb did not start"; exit 1; }
export DISPLAY=$xvfb_display

# Error exit 99 for any unsuppressed error, definite leaks included. The forked child that
# libdbus starts to look for a session bus is left alone. The driver is unloaded before the
# leak check, so its debug information is kept for the suppressions to name it.
valgrind --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
    --show-leak-kinds=definite --num-callers=40 --keep-debuginfo=yes --child-silent-after-fork=yes \
    --suppressions="$suppressions" --log-file="$log" "$@" &
pid=$!
if [ -z "$(await_window --name "^Quillmere \(by Vennick\)\$")" ]; then
    echo "FAIL: valgrind: the window never appeared"
    cat "$log"
    exit 1
fi
sleep "$seconds"  # the stretch of drawing under memcheck, not a wait
"$xclose" "Quillmere (by Vennick)" "$wait_ceiling"
if ! await_child "$pid"; then
    echo "FAIL: valgrind: still running $wait_ceiling s after the close request"
    exit 1
fi
status=$child_status
grep -E "ERROR SUMMARY|definitely lost|indirectly lost" "$log" | sed 's/^==[0-9]*== */valgrind: /'
if [ "$status" -ne 0 ]; then
    cat "$log"
    echo "FAIL: valgrind: exit status $status (99: memcheck errors)"
    exit 1
fi
echo "ok: valgrind: exit status 0, no memcheck error, no definite leak"

#!/usr/bin/env bash
# The program under valgrind memcheck on its own Xvfb: it draws for SECONDS after its window
# appears, is closed through the window manager protocol, and must end with status 0, no
# memcheck error and no definite leak (SUPPRESSIONS hides the libraries' own, each
# explained there).
#   valgrind.sh SECONDS SUPPRESSIONS XCLOSE PROGRAM...
set -u
seconds=$1 suppressions=$2 xclose=$3
shift 3
log=$(mktemp)
fdfile=$(mktemp)
# -noreset: a client ending must not reset the server while the next one connects.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fdfile" 2>/dev/null </dev/null &
xvfb=$!
trap 'kill -9 "${pid:-}" 2>/dev/null; kill "$xvfb" 2>/dev/null; wait 2>/dev/null; rm -f "$log" "$fdfile"' EXIT
for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$fdfile")"

# Error exit 99 for any unsuppressed error, definite leaks included. The forked child that
# libdbus starts to look for a session bus is left alone. The driver is unloaded before the
# leak check, so its debug information is kept for the suppressions to name it.
valgrind --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
    --show-leak-kinds=definite --num-callers=40 --keep-debuginfo=yes --child-silent-after-fork=yes \
    --suppressions="$suppressions" --log-file="$log" "$@" &
pid=$!
if ! timeout 180 xdotool search --sync --name "^Quillmere \(by Vennick\)\$" >/dev/null; then
    echo "FAIL: valgrind: the window never appeared"
    cat "$log"
    exit 1
fi
sleep "$seconds"
"$xclose" "Quillmere (by Vennick)" 10
for _ in $(seq 1200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then
    echo "FAIL: valgrind: still running 120 s after the close request"
    exit 1
fi
wait "$pid"
status=$?
grep -E "ERROR SUMMARY|definitely lost|indirectly lost" "$log" | sed 's/^==[0-9]*== */valgrind: /'
if [ "$status" -ne 0 ]; then
    cat "$log"
    echo "FAIL: valgrind: exit status $status (99: memcheck errors)"
    exit 1
fi
echo "ok: valgrind: exit status 0, no memcheck error, no definite leak"

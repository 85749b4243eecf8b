#!/usr/bin/env bash
# quillmere-measure's default run timed end to end (process start to exit, from outside),
# ROUNDS times (default 3) on a fresh Xvfb (the program's window, 820 x 600) and headless
# (EGL), with the medians of the phases it prints at the end. Target: 30 s.
#
#   scripts/measure-bench.sh            BUILD (default build/linux) names the build folder
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${ROUNDS:-3}
build=${BUILD:-build/linux}
scripts/install-deps.sh
cmake --preset linux -B "$build" >/dev/null
cmake --build "$build" --target quillmere-measure -j2 >/dev/null
tool=$PWD/$build/measure/quillmere-measure
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

run() {  # run NAME COMMAND...: one timed default run into $tmp/NAME-i
    local name=$1
    shift
    for i in $(seq "$rounds"); do
        local start end
        start=$(date +%s.%N)
        "$@" --out "$tmp/$name-$i" >"$tmp/$name-$i.log" 2>&1 || { cat "$tmp/$name-$i.log"; exit 1; }
        end=$(date +%s.%N)
        echo "$end - $start" | bc >"$tmp/$name-$i.wall"
    done
}
run window xvfb-run -a -s "-screen 0 1280x1024x24" "$tool"
run headless env -u DISPLAY -u WAYLAND_DISPLAY "$tool"

python3 - "$tmp" "$rounds" <<'PY'
import re, statistics, sys
tmp, rounds = sys.argv[1], int(sys.argv[2])
worst = 0.0
for name in ("window", "headless"):
    walls = [float(open("%s/%s-%d.wall" % (tmp, name, i)).read()) for i in range(1, rounds + 1)]
    phases = {}
    for i in range(1, rounds + 1):
        log = open("%s/%s-%d.log" % (tmp, name, i)).read()
        for phase, seconds in re.findall(r"(\w+) ([0-9.]+) s[,\n]", log):
            phases.setdefault(phase, []).append(float(seconds))
    worst = max(worst, max(walls))
    print("%-8s end to end: median %.2f s, slowest %.2f s (%d runs%s)" % (
        name, statistics.median(walls), max(walls), rounds, ", Xvfb start included" if name == "window" else ""))
    print("         " + ", ".join("%s %.2f" % (p, statistics.median(v)) for p, v in phases.items()))
print("target: every run within 30 s:", "met" if worst <= 30 else "MISSED")
sys.exit(0 if worst <= 30 else 1)
PY

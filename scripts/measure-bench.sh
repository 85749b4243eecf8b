#!/usr/bin/env bash
# quillmere-measure's default run timed end to end (process start to exit, from outside),
# ROUNDS times (default 3) on a fresh Xvfb (the program's window, 820 x 600) and headless
# (EGL), with the medians of the phases it prints at the end. Target: 10 s.
#
#   scripts/measure-bench.sh            BUILD (default build/linux) names the build folder
#   BASELINE=OTHER/quillmere-measure scripts/measure-bench.sh
#                                       also times another build's tool the same way, after
#                                       this one's, and gives the ratio of the medians
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
if [ -n "${BASELINE:-}" ]; then
    run baseline-window xvfb-run -a -s "-screen 0 1280x1024x24" "$BASELINE"
    run baseline-headless env -u DISPLAY -u WAYLAND_DISPLAY "$BASELINE"
fi

python3 - "$tmp" "$rounds" "${BASELINE:-}" <<'PY'
import re, statistics, sys
tmp, rounds, baseline = sys.argv[1], int(sys.argv[2]), sys.argv[3]
worst = 0.0
medians = {}
for name in ("window", "headless") + (("baseline-window", "baseline-headless") if baseline else ()):
    walls = [float(open("%s/%s-%d.wall" % (tmp, name, i)).read()) for i in range(1, rounds + 1)]
    phases = {}
    for i in range(1, rounds + 1):
        log = open("%s/%s-%d.log" % (tmp, name, i)).read()
        for phase, seconds in re.findall(r"(\w+) ([0-9.]+) s[,\n]", log):
            phases.setdefault(phase, []).append(float(seconds))
    medians[name] = statistics.median(walls)
    if not name.startswith("baseline"):
        worst = max(worst, max(walls))
    print("%-8s end to end: median %.2f s, slowest %.2f s (%d runs%s)" % (
        name, statistics.median(walls), max(walls), rounds, ", Xvfb start included" if name.endswith("window") else ""))
    print("         " + ", ".join("%s %.2f" % (p, statistics.median(v)) for p, v in phases.items()))
if baseline:
    for name in ("window", "headless"):
        print("%-8s this build / baseline (%s): %.2f" % (name, baseline, medians[name] / medians["baseline-" + name]))
print("target: every run within 10 s:", "met" if worst <= 10 else "MISSED")
sys.exit(0 if worst <= 10 else 1)
PY

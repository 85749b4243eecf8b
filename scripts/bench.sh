#!/usr/bin/env bash
# Frame rate, start-up time and peak memory of the program against the baseline program
# (bench/baseline.cpp: the same frame straight on SDL2), counted from outside by
# bench/tools/xframes (X Damage: one count per present of the window).
#
#   scripts/bench.sh [fps|startup|wine|all]     (default: all)
#
#   fps      ROUNDS rounds (default 7); in each, the program and the baseline run one after
#            the other (the order alternates) on one Xvfb, each for SECONDS_EACH (default 5)
#            after a 1 s warm-up, window 820 x 600. Medians of the fps and of the per-round
#            ratios. Target: ratio >= 0.95.
#   startup  ROUNDS rounds: process start to the first presented frame, and peak resident
#            memory over a 1 s run. Targets: start-up <= 1.1 x baseline, peak memory
#            <= 1.1 x baseline + 2 MB.
#   wine     the Windows build under Wine against the Linux baseline, fps (information).
#
# BUILD (default build/linux) and WINBUILD (default build/windows) name the build folders;
# the script builds what it needs in them with the presets. Exit 1 when a target is missed.
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:-all}
rounds=${ROUNDS:-7}
seconds=${SECONDS_EACH:-5}
build=${BUILD:-build/linux}
winbuild=${WINBUILD:-build/windows}

scripts/install-deps.sh
cmake --preset linux -B "$build" >/dev/null
cmake --build "$build" --target quillmere baseline xframes -j2 >/dev/null
if [ "$what" = wine ] || [ "$what" = all ]; then
    cmake --preset windows -B "$winbuild" -DQUILL_HOST_TOOLS="$PWD/$build/tests" >/dev/null
    cmake --build "$winbuild" --target quillmere -j2 >/dev/null
fi
xframes=$build/bench/xframes
program=$build/quillmere
baseline=$build/bench/baseline

# One Xvfb for the whole run, no window manager.
. tests/wait.sh
wine_up=""
cleanup() {
    [ -n "$wine_up" ] && wineserver -k >/dev/null 2>&1
    kill "${xvfb_pid:-}" 2>/dev/null || true
}
trap cleanup EXIT
start_xvfb -screen 0 1024x768x24 -nolisten tcp || { echo "FAIL: Xvfb did not start" >&2; exit 1; }
export DISPLAY=$xvfb_display

# field NAME LINE: the value of NAME=... in an xframes line.
field() { sed -n "s/.*\b$1=\([^ ]*\).*/\1/p" <<<"$2"; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# run LABEL XFRAMES-ARGS... -- PROGRAM: one measured run; its line, or a failure.
run() {
    local label=$1 line
    shift
    if ! line=$(timeout 120 "$xframes" "$@" 2>/dev/null); then
        echo "FAIL: $label: $line" >&2
        exit 1
    fi
    echo "$line"
}
failed=0
check() { # check DESCRIPTION CONDITION(awk expression)
    if awk "BEGIN { exit !($2) }"; then echo "  ok: $1"; else echo "  MISSED: $1"; failed=1; fi
}

fps_bench() {
    local q b qf=() bf=() qc=() bc=() ratios=()
    echo "== Frame rate: $rounds rounds of $seconds s each, 820 x 600 on Xvfb (llvmpipe)"
    for i in $(seq "$rounds"); do
        if [ $((i % 2)) -eq 1 ]; then
            q=$(run quillmere -s "$seconds" -- "$program")
            b=$(run baseline -t "Quillmere baseline" -s "$seconds" -- "$baseline")
        else
            b=$(run baseline -t "Quillmere baseline" -s "$seconds" -- "$baseline")
            q=$(run quillmere -s "$seconds" -- "$program")
        fi
        qf+=("$(field fps "$q")")
        bf+=("$(field fps "$b")")
        qc+=("$(field cpu_ms_per_frame "$q")")
        bc+=("$(field cpu_ms_per_frame "$b")")
        ratios+=("$(awk -v q="${qf[-1]}" -v b="${bf[-1]}" 'BEGIN { printf "%.3f", q / b }')")
        printf '  round %d: quillmere %7.1f fps (%s ms CPU a frame), baseline %7.1f fps (%s ms), ratio %s\n' \
            "$i" "${qf[-1]}" "${qc[-1]}" "${bf[-1]}" "${bc[-1]}" "${ratios[-1]}"
    done
    local mq mb mr mqc mbc
    mq=$(printf '%s\n' "${qf[@]}" | median)
    mb=$(printf '%s\n' "${bf[@]}" | median)
    mr=$(printf '%s\n' "${ratios[@]}" | median)
    mqc=$(printf '%s\n' "${qc[@]}" | median)
    mbc=$(printf '%s\n' "${bc[@]}" | median)
    echo "  median: quillmere $mq fps, baseline $mb fps, ratio $mr"
    echo "  median processor time a frame (all threads): quillmere $mqc ms, baseline $mbc ms"
    check "frame rate ratio $mr >= 0.95" "$mr >= 0.95"
}

startup_bench() {
    local q b qs=() bs=() qm=() bm=()
    echo "== Start-up to first presented frame, and peak resident memory: $rounds rounds"
    for i in $(seq "$rounds"); do
        if [ $((i % 2)) -eq 1 ]; then
            q=$(run quillmere -w 0 -s 1 -- "$program")
            b=$(run baseline -t "Quillmere baseline" -w 0 -s 1 -- "$baseline")
        else
            b=$(run baseline -t "Quillmere baseline" -w 0 -s 1 -- "$baseline")
            q=$(run quillmere -w 0 -s 1 -- "$program")
        fi
        qs+=("$(field startup_ms "$q")")
        bs+=("$(field startup_ms "$b")")
        qm+=("$(field maxrss_kb "$q")")
        bm+=("$(field maxrss_kb "$b")")
        printf '  round %d: quillmere %6.1f ms %6d kB, baseline %6.1f ms %6d kB\n' "$i" "${qs[-1]}" "${qm[-1]}" "${bs[-1]}" "${bm[-1]}"
    done
    local mqs mbs mqm mbm
    mqs=$(printf '%s\n' "${qs[@]}" | median)
    mbs=$(printf '%s\n' "${bs[@]}" | median)
    mqm=$(printf '%s\n' "${qm[@]}" | median)
    mbm=$(printf '%s\n' "${bm[@]}" | median)
    echo "  median start-up: quillmere $mqs ms, baseline $mbs ms, ratio $(awk -v q="$mqs" -v b="$mbs" 'BEGIN { printf "%.3f", q / b }')"
    echo "  median peak RSS: quillmere $mqm kB, baseline $mbm kB, difference $((mqm - mbm)) kB"
    check "start-up $mqs ms <= 1.1 x $mbs ms" "$mqs <= 1.1 * $mbs"
    check "peak memory $mqm kB <= 1.1 x $mbm kB + 2048 kB" "$mqm <= 1.1 * $mbm + 2048"
}

wine_bench() {
    local w b wf=() bf=() ratios=() wrounds=$(((rounds + 1) / 2))
    echo "== Windows build under Wine against the Linux baseline (information): $wrounds rounds"
    export WINEPREFIX=${WINEPREFIX:-$PWD/build/wineprefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 </dev/null
    wineserver -p >/dev/null 2>&1 </dev/null
    wine_up=1
    run wine-warm-up -w 0 -s 1 -T 120 -- wine "$winbuild/quillmere.exe" >/dev/null
    for i in $(seq "$wrounds"); do
        w=$(run wine -w 2 -s "$seconds" -T 120 -- wine "$winbuild/quillmere.exe")
        b=$(run baseline -t "Quillmere baseline" -s "$seconds" -- "$baseline")
        wf+=("$(field fps "$w")")
        bf+=("$(field fps "$b")")
        ratios+=("$(awk -v q="${wf[-1]}" -v b="${bf[-1]}" 'BEGIN { printf "%.3f", q / b }')")
        printf '  round %d: wine %7.1f fps (start-up %s ms), baseline %7.1f fps, ratio %s\n' "$i" "${wf[-1]}" "$(field startup_ms "$w")" "${bf[-1]}" "${ratios[-1]}"
    done
    echo "  median: wine $(printf '%s\n' "${wf[@]}" | median) fps, baseline $(printf '%s\n' "${bf[@]}" | median) fps, ratio $(printf '%s\n' "${ratios[@]}" | median)"
}

case "$what" in
fps) fps_bench ;;
startup) startup_bench ;;
wine) wine_bench ;;
all)
    fps_bench
    startup_bench
    wine_bench
    ;;
*)
    echo "usage: scripts/bench.sh [fps|startup|wine|all]" >&2
    exit 2
    ;;
esac
exit $failed

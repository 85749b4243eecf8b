#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan: the fuzz preset) and runs each for a
# bounded time, starting from its seeds in fuzz/corpus/<target>; what it learns goes to
# build/fuzz/work/<target>, a crashing input to build/fuzz/<target>-crash-*.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]     (default 60)
# FUZZ_TARGETS picks targets (default: extensions mesh expectations results), FUZZ_BUILD the build
# folder (default build/fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
targets=${FUZZ_TARGETS:-extensions mesh expectations results}
build=${FUZZ_BUILD:-build/fuzz}

scripts/install-deps.sh
cmake --preset fuzz -B "$build" >/dev/null
for t in $targets; do cmake --build "$build" --target "${t}_fuzz" -j2 >/dev/null; done

export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
failed=0
for t in $targets; do
    work=$build/work/$t
    mkdir -p "$work"
    run=("$build/fuzz/${t}_fuzz" -max_total_time="$seconds" -print_final_stats=1
         -artifact_prefix="$build/$t-" "$work" "fuzz/corpus/$t")
    log=$build/$t.log
    if timeout $((seconds + 120)) "${run[@]}" >"$log" 2>&1; then
        stats=$(grep -E "^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)" "$log" |
                sed 's/^stat:://; s/: */=/' | tr '\n' ' ')
        echo "ok: fuzz $t: ${seconds} s, $stats"
    else
        failed=1
        echo "FAIL: fuzz $t (log: $log)"
        grep -E "ERROR|runtime error|SUMMARY|Test unit written|deadly signal" "$log" | head -20
    fi
done
exit $failed

#!/usr/bin/env bash
# Shows that quillmere-measure measures what an earlier commit measured: the default run on
# llvmpipe, softpipe and zink, headless and with a window (Xvfb), by this tree's build and by
# BASE's, their results.json compared leaf by leaf without times, durations and the version
# string; and `compare` of both builds over the same runs, page and pictures byte for byte.
# One line per check: "same", or the keys whose values differ or are gone; leaves only this
# tree writes are counted apart (a newer schema adds them), never as a difference.
# Usage: scripts/same-results.sh BASE   (a commit, or a build folder holding measure/quillmere-measure)
# The commit's build is kept in build/same-results/<commit> for the next call.
set -uo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 1 ] || { echo "usage: $0 BASE (a commit or a build folder)" >&2; exit 2; }
base=$1
here=$PWD

build_tree() {  # source folder, build folder
    cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILL_BUILD_TESTS=OFF >"$2.log" 2>&1 &&
        cmake --build "$2" -j2 --target quillmere-measure quillmere >>"$2.log" 2>&1 ||
        { echo "build of $1 failed: $2.log" >&2; exit 1; }
}

if [ -x "$base/measure/quillmere-measure" ]; then
    base_build=$(cd "$base" && pwd)
else
    sha=$(git rev-parse --verify --quiet "$base^{commit}") || { echo "not a commit or build folder: $base" >&2; exit 2; }
    base_build=$here/build/same-results/$sha
    if [ ! -x "$base_build/measure/quillmere-measure" ]; then
        mkdir -p "$base_build"
        src=$(mktemp -d)
        git archive "$sha" | tar -x -C "$src"
        build_tree "$src" "$base_build"
        rm -rf "$src"
    fi
fi
# This tree's build: the linux preset's folder, brought up to date.
cmake --build --preset linux -j2 --target quillmere-measure quillmere >/dev/null 2>&1 ||
    { echo "build of this tree failed (cmake --build --preset linux)" >&2; exit 1; }
head_build=$here/build/linux

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Every leaf of results.json as "path = value", leaving out what a second run of the same
# build changes (times, and the grabs until the presented picture held still) and where the
# build lies (the presented program's path).
leaves() {
    jq -r 'del(.version, .phases_seconds, .presented.program, .presented.grabs) | del(.. | .seconds?, .ms_per_frame?)
           | paths(scalars) as $p | "\($p | map(tostring) | join(".")) = \(getpath($p) | tojson)"' "$1"
}
# At most eight of the keys read from standard input, then how many more.
first_eight() { awk 'NR <= 8 { printf "%s%s", sep, $0; sep = " " } END { if (NR > 8) printf " (+%d more)", NR - 8 }'; }
keys_of() { sed -n 's/^\(.*\) = .*/\1/p' "$1" | sort -u; }
differing() {  # two leaf lists: BASE's keys whose values differ or are gone in the second
    diff <(sort "$1") <(sort "$2") | sed -n 's/^< \(.*\) = .*/\1/p' | sort -u | first_eight
}
added() {  # two leaf lists: how many keys only the second has, and their first two levels
    local new
    new=$(comm -13 <(keys_of "$1") <(keys_of "$2"))
    [ -n "$new" ] || return 0
    printf '%d leaves added: ' "$(printf '%s\n' "$new" | wc -l)"
    printf '%s\n' "$new" | sed -E 's/^([^.]+(\.[^.]+)?).*/\1/; s/\.[0-9]+$//; s/^captures\.[0-9]+/captures.N/' |
        sort -u | first_eight
}

run() {  # build label, driver, headless|window
    local exe=$2/measure/quillmere-measure out=$tmp/$1/$3-$4 env=(LIBGL_ALWAYS_SOFTWARE=1)
    case $3 in
    llvmpipe) env=() ;;
    softpipe) env+=(GALLIUM_DRIVER=softpipe) ;;
    zink) if [ "$4" = window ]; then env+=(MESA_LOADER_DRIVER_OVERRIDE=zink); else env+=(GALLIUM_DRIVER=zink); fi ;;
    esac
    mkdir -p "$tmp/$1"
    if [ "$4" = headless ]; then
        env -u DISPLAY -u WAYLAND_DISPLAY "${env[@]}" "$exe" --headless --out "$out" >"$out.log" 2>&1
    else
        xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" env "${env[@]}" "$exe" --out "$out" >"$out.log" 2>&1
    fi
    echo $? >"$out.status"
}

status=0
dirs=()
for driver in llvmpipe softpipe zink; do
    for mode in headless window; do
        run base "$base_build" $driver $mode
        run head "$head_build" $driver $mode
        a=$tmp/base/$driver-$mode b=$tmp/head/$driver-$mode
        if [ "$(cat "$a.status")" != "$(cat "$b.status")" ]; then
            echo "$driver $mode: exit status $(cat "$a.status") against $(cat "$b.status")"
            status=1
        elif [ ! -f "$a/results.json" ] || [ ! -f "$b/results.json" ]; then
            echo "$driver $mode: no results.json (status $(cat "$a.status"))"
            status=1
        else
            leaves "$a/results.json" >"$a.leaves"
            leaves "$b/results.json" >"$b.leaves"
            keys=$(differing "$a.leaves" "$b.leaves")
            more=$(added "$a.leaves" "$b.leaves")
            if [ -z "$keys" ]; then echo "$driver $mode: same${more:+ ($more)}"; else echo "$driver $mode: $keys${more:+ ($more)}"; status=1; fi
            dirs+=("$driver-$mode")
        fi
    done
done

# compare over each build's six runs, by both builds: the page and every picture.
for runs in base head; do
    [ ${#dirs[@]} -ge 2 ] || break
    for label in base head; do
        exe=$base_build/measure/quillmere-measure
        [ $label = head ] && exe=$head_build/measure/quillmere-measure
        (cd "$tmp/$runs" && "$exe" compare "${dirs[@]}" --out "$tmp/compare-$runs-$label" >/dev/null 2>&1)
        echo $? >"$tmp/compare-$runs-$label.status"
    done
    a=$tmp/compare-$runs-base b=$tmp/compare-$runs-head
    if [ "$(cat "$a.status")" != "$(cat "$b.status")" ]; then
        echo "compare over the $runs runs: exit status $(cat "$a.status") against $(cat "$b.status")"
        status=1
    else
        files=$(diff -rq "$a" "$b" | sed -e "s|$a/||g" -e "s|$b/||g" -e 's/^Files \(.*\) and .* differ$/\1/' |
            head -8 | tr '\n' ' ')
        if [ -z "$files" ]; then
            echo "compare over the $runs runs: same"
        else
            echo "compare over the $runs runs: $files"
            status=1
            # The page's differing elements, a few, one a line.
            if [ -f "$a/index.html" ] && [ -f "$b/index.html" ]; then
                diff <(sed "s/></>\n</g" "$a/index.html") <(sed "s/></>\n</g" "$b/index.html") |
                    grep '^[<>]' | sort | uniq -c | head -6 | cut -c1-160 | sed 's/^/    /'
            fi
        fi
    fi
done
exit $status

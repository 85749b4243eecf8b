#!/usr/bin/env bash
# compare and --expect end to end: a run on llvmpipe and one on softpipe (offscreen, small),
# their comparison page in headless Chromium against the two results.json, an expectations
# file that holds on one and fails on the other (exit statuses, JUnit XML against an XSD, the
# measured value in the failure), malformed files refused before rendering with their
# position, compare's refusals, and every results.json made here against the schema.
# Usage: compare.sh QUILLMERE_MEASURE
set -uo pipefail
tool=$1
here=$(cd "$(dirname "$0")" && pwd)
py=/usr/bin/python3
check_results="$py $here/check_results.py"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }
small=(--headless --size 240x180 --reference-k 4)
softpipe() { LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=softpipe "$@"; }

cat >"$tmp/expect.txt" <<'TEXT'
# llvmpipe grants 4 samples and ignores the anisotropy degree; softpipe does neither
msaa-4.effective >= 4
ssaa-4x4.effective == 16          # the same on both
window.verdict == "not measured: --headless: no window"
filter-aniso-2.centre within 0.5 of filter-aniso-16.centre
TEXT
"$tool" "${small[@]}" --out "$tmp/llvmpipe" --expect "$tmp/expect.txt" --junit "$tmp/llvmpipe.xml" >"$tmp/a.out" 2>&1
check "expectations hold on llvmpipe: status 0" "[ $? -eq 0 ] && grep -q '4 held, 0 failed' $tmp/a.out"
softpipe "$tool" "${small[@]}" --out "$tmp/softpipe" --expect "$tmp/expect.txt" --junit "$tmp/softpipe.xml" \
    >"$tmp/b.out" 2>&1
check "expectations fail on softpipe: status 9" "[ $? -eq 9 ] && grep -q '2 held, 2 failed' $tmp/b.out"
check "softpipe is the renderer of the second run" "grep -q '\"renderer\": \"softpipe\"' $tmp/softpipe/results.json"
check "both JUnit files pass the JUnit XSD" "$check_results junit $tmp/llvmpipe.xml && $check_results junit $tmp/softpipe.xml"
# The measured figure, as results.json has it, must appear in the failure's message.
measured=$($py -c "import json; c={x['name']:x for x in json.load(open('$tmp/softpipe/results.json'))['captures']}; print('%.6g' % c['filter-aniso-2']['centre_interior_rmse'])")
check "a failure names the measured value ($measured)" \
    "$py -c \"
import sys, xml.etree.ElementTree as t
r = t.parse('$tmp/softpipe.xml').getroot()
f = [c.find('failure') for c in r.iter('testcase') if c.find('failure') is not None]
sys.exit(not (r.get('failures') == '2' and len(f) == 2 and any('measured $measured;' in x.get('message') for x in f)))\""

# The comparison page, with the same expectations and one against the first run.
cat >>"$tmp/expect.txt" <<'TEXT'
filter-aniso-2.centre <= 1.05 * baseline
TEXT
"$tool" compare "$tmp/llvmpipe" "$tmp/softpipe" --out "$tmp/cmp" --expect "$tmp/expect.txt" \
    --junit "$tmp/cmp.xml" >"$tmp/c.out" 2>&1
check "compare with a failing expectation: status 9" "[ $? -eq 9 ] && grep -q '7 held, 3 failed' $tmp/c.out"
check "compare's JUnit file passes the XSD, a suite per run" \
    "$check_results junit $tmp/cmp.xml && [ \$(grep -c '<testsuite ' $tmp/cmp.xml) -eq 2 ]"
chrome() {
    timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
        --disable-component-update --disable-sync --no-first-run --user-data-dir="$tmp/profile" "$@" 2>/dev/null
}
cp "$tmp/cmp/index.html" "$tmp/cmp/check.html"
cat >>"$tmp/cmp/check.html" <<'SCRIPT'
<script>
window.addEventListener('load', () => {
  const images = [...document.images];
  const broken = images.filter(i => !i.complete || i.naturalWidth === 0).map(i => i.getAttribute('src'));
  const p = document.createElement('pre');
  p.id = 'verdict';
  p.textContent = 'CHECK images=' + images.length + ' broken=' + broken.length + ' ' + broken.join(' ');
  document.body.appendChild(p);
});
</script>
SCRIPT
chrome --virtual-time-budget=5000 --dump-dom "file://$tmp/cmp/check.html" >"$tmp/dom.html"
verdict=$(grep -o 'CHECK images=[0-9][^<]*' "$tmp/dom.html")
echo "$verdict"
# Three crops of each run's every mode and reference, side by side and again in the flip
# comparator; a difference image per mode both have.
expected=$($py -c "
import json
n = [{c['name'] for c in json.load(open('$tmp/' + f + '/results.json'))['captures']} for f in ('llvmpipe', 'softpipe')]
print(2 * 3 * (len(n[0]) + len(n[1]) + 2) + len(n[0] & n[1]) + 1)")
images=$(echo "$verdict" | sed -n 's/^CHECK images=\([0-9]*\) broken=0 *$/\1/p')
check "every image of the page ($expected) loaded in Chromium" "[ '$images' = '$expected' ]"
check "a row per mode with both runs' figures and the differences right" \
    "$check_results page $tmp/dom.html $tmp/llvmpipe/results.json $tmp/softpipe/results.json"
check "the modes measured on one run only are called out" \
    "grep -q '<b>msaa-4</b> measured on llvmpipe, not on softpipe' $tmp/cmp/index.html"
check "each run's driver strings" "grep -q 'llvmpipe (LLVM' $tmp/cmp/index.html && grep -q '<td class=.text.>softpipe</td>' $tmp/cmp/index.html"
"$tool" compare "$tmp/llvmpipe" "$tmp/softpipe" --out "$tmp/cmp2" >/dev/null 2>&1
check "compare without expectations: status 0" "[ $? -eq 0 ] && [ -s $tmp/cmp2/index.html ]"

# Malformed expectations: refused with line and column, before anything is rendered.
while IFS='|' read -r line position; do
    printf '# a comment\nmsaa-4.effective >= 4\n%s\n' "$line" >"$tmp/bad.txt"
    "$tool" "${small[@]}" --out "$tmp/never" --expect "$tmp/bad.txt" >"$tmp/bad.out" 2>&1
    status=$?
    check "refused with $position: $line" \
        "[ $status -eq 10 ] && grep -qF 'bad.txt:$position: ' $tmp/bad.out && [ ! -e $tmp/never ]"
done <<'CASES'
msaa-4.effective = 4|3:18
msaa-4.effective >= |3:21
msaa-4.effective >= four|3:21
window.verdict < "4-sample MSAA"|3:18
msaa-4.edge <= 1.05 * baseline|3:23
filter.lod_bias within|3:23
filter.lod_bias within 0.1 off 2|3:28
msaa-4..edge > 1|3:8
window.verdict == "unterminated|3:19
msaa-4.effective >= 4 4|3:23
>= 4|3:1
CASES
"$tool" "${small[@]}" --out "$tmp/never" --expect "$tmp/missing.txt" >"$tmp/bad.out" 2>&1
check "an expectations file that cannot be read: 10" "[ $? -eq 10 ] && grep -q 'cannot read' $tmp/bad.out && [ ! -e $tmp/never ]"

# compare's refusals: each its status and a message naming the cause.
mkdir -p "$tmp/empty" "$tmp/notjson" "$tmp/other" "$tmp/future"
echo 'not json' >"$tmp/notjson/results.json"
echo '{"tool": "something else", "schema_version": 2}' >"$tmp/other/results.json"
sed -E 's/"schema_version": [0-9]+,/"schema_version": 99,/' "$tmp/llvmpipe/results.json" >"$tmp/future/results.json"
"$tool" --headless --size 64x48 --reference-k 2 --modes msaa --out "$tmp/tiny" >/dev/null 2>&1
cmp_status() { "$tool" compare "$@" --out "$tmp/x" >"$tmp/x.out" 2>&1; echo $?; }
check "missing folder: 11" "[ \$(cmp_status $tmp/llvmpipe $tmp/nowhere) -eq 11 ] && grep -q 'no such folder' $tmp/x.out"
check "folder without results.json: 11" "[ \$(cmp_status $tmp/llvmpipe $tmp/empty) -eq 11 ] && grep -q 'no results.json' $tmp/x.out"
check "results.json that is not JSON: 12" "[ \$(cmp_status $tmp/llvmpipe $tmp/notjson) -eq 12 ] && grep -q 'not JSON' $tmp/x.out"
check "another tool's JSON: 12" "[ \$(cmp_status $tmp/other $tmp/llvmpipe) -eq 12 ] && grep -q 'not written by quillmere-measure' $tmp/x.out"
check "unknown schema_version: 13" "[ \$(cmp_status $tmp/llvmpipe $tmp/future) -eq 13 ] && grep -q '/schema_version: 99' $tmp/x.out"
check "different sizes: 14" "[ \$(cmp_status $tmp/llvmpipe $tmp/tiny) -eq 14 ] && grep -q '240x180' $tmp/x.out && grep -q '64x48' $tmp/x.out"
check "--out one of the runs: 3, the run's report kept" \
    "\"$tool\" compare $tmp/llvmpipe $tmp/softpipe --out $tmp/softpipe/ >$tmp/x.out 2>&1; [ \$? -eq 3 ] && grep -q 'one of the runs' $tmp/x.out && grep -q 'id=.scores' $tmp/softpipe/index.html"
check "one folder only: refused" "[ \$(cmp_status $tmp/llvmpipe) -ne 0 ]"
check "no page from a refused comparison" "[ ! -e $tmp/x/index.html ]"

check "every results.json made here validates against the schema" \
    "$check_results schema $tmp/llvmpipe/results.json $tmp/softpipe/results.json $tmp/tiny/results.json"
exit $fail

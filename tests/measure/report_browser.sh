#!/usr/bin/env bash
# The report in headless Chromium: a screenshot of the page, and a test copy of it with a
# check appended that reports, from inside the browser, whether every image loaded and the
# score table has a row per capture.
# Usage: report_browser.sh QUILLMERE_MEASURE
set -uo pipefail
tool=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
chrome() {
    timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
        --disable-component-update --disable-sync --no-first-run --user-data-dir="$tmp/profile" "$@" 2>/dev/null
}
"$tool" --headless --size 240x180 --reference-k 4 --out "$tmp/r" >/dev/null 2>&1 || { echo "FAILED: the tool"; exit 1; }
rows=$(python3 -c "import json; print(len(json.load(open('$tmp/r/results.json'))['captures']))")
cp "$tmp/r/index.html" "$tmp/r/check.html"
cat >>"$tmp/r/check.html" <<'SCRIPT'
<script>
window.addEventListener('load', () => {
  const images = [...document.images];
  const broken = images.filter(i => !i.complete || i.naturalWidth === 0).map(i => i.getAttribute('src'));
  const rows = document.querySelectorAll('#scores tbody tr').length;
  const p = document.createElement('pre');
  p.id = 'verdict';
  p.textContent = 'CHECK images=' + images.length + ' broken=' + broken.length + ' rows=' + rows + ' ' + broken.join(' ');
  document.body.appendChild(p);
});
</script>
SCRIPT
verdict=$(chrome --virtual-time-budget=5000 --dump-dom "file://$tmp/r/check.html" | grep -o 'CHECK[^<]*')
echo "$verdict (captures: $rows)"
fail=0
[[ "$verdict" =~ images=([0-9]+)\ broken=0\ rows=$rows ]] && [ "${BASH_REMATCH[1]}" -gt $((rows * 4)) ] || fail=1
chrome --window-size=1400,2000 --screenshot="$tmp/shot.png" "file://$tmp/r/index.html"
[ "$(stat -c %s "$tmp/shot.png" 2>/dev/null || echo 0)" -gt 20000 ] || { echo "FAILED: no screenshot"; fail=1; }
/usr/bin/python3 "$(dirname "$0")/check_results.py" schema "$tmp/r/results.json" || fail=1
[ $fail -eq 0 ] && echo "ok: every image loaded, one row per capture, screenshot taken"
exit $fail

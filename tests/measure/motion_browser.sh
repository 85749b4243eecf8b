#!/usr/bin/env bash
# The motion section of the report in headless Chromium: every picture loads, one row per
# mode, and the animated crops play without script (of three screenshots 0.3 s apart, not
# all are equal; the same page with each crop's first frame as a still PNG gives equal ones).
# Usage: motion_browser.sh QUILLMERE_MEASURE
set -uo pipefail
tool=$1
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$tool" --headless --size 160x120 --reference-k 4 --modes msaa,filter --motion --motion-steps 8 --motion-k 6 \
    --out "$tmp/r" >"$tmp/log" 2>&1 || { echo "FAILED: the tool"; cat "$tmp/log"; exit 1; }
/usr/bin/python3 "$here/check_results.py" schema "$tmp/r/results.json" || { echo "FAILED: the schema"; exit 1; }
modes=$(python3 -c "import json; print(len(json.load(open('$tmp/r/results.json'))['motion']['modes']))")
cp "$tmp/r/index.html" "$tmp/r/check.html"
cat >>"$tmp/r/check.html" <<'SCRIPT'
<script>
window.addEventListener('load', () => {
  const images = [...document.querySelectorAll('#motion-pictures img'), ...document.querySelectorAll('img[src^=motion]')];
  const broken = images.filter(i => !i.complete || i.naturalWidth === 0).map(i => i.getAttribute('src'));
  const rows = document.querySelectorAll('#motion-scores tbody tr').length;
  const p = document.createElement('pre');
  p.textContent = 'CHECK images=' + images.length + ' broken=' + broken.length + ' rows=' + rows + ' ' + broken.join(' ');
  document.body.appendChild(p);
});
</script>
SCRIPT
verdict=$(timeout 120 chromium --headless --no-sandbox --disable-gpu --no-first-run --user-data-dir="$tmp/profile" \
    --virtual-time-budget=5000 --dump-dom "file://$tmp/r/check.html" 2>/dev/null | grep -o 'CHECK images=[0-9][^<]*')
echo "$verdict (modes: $modes)"
fail=0
[[ "$verdict" =~ images=([0-9]+)\ broken=0\ rows=$modes ]] && [ "${BASH_REMATCH[1]}" -gt $((modes * 3)) ] ||
    { echo "FAILED: pictures or rows"; fail=1; }

# The report itself, scrolled to its animated crops; then the control with still crops.
shots() { timeout 120 python3 "$here/screenshots.py" "$1" "$2" 3 0.3 1700x700 || echo "FAILED: screenshots of $1"; }
shots "file://$tmp/r/index.html#motion-pictures" "$tmp/play"
mkdir "$tmp/still"
cp "$tmp/r/"*.png "$tmp/r/"*.svg "$tmp/r/index.html" "$tmp/still/"
python3 - "$tmp/still" <<'PY'
import glob, struct, sys, zlib
# Each animated crop cut down to its first frame: the header, the first image data, the end.
for name in glob.glob(sys.argv[1] + '/motion-crop-*.png'):
    data = open(name, 'rb').read()
    out, at = data[:8], 8
    while at < len(data):
        n, kind = struct.unpack('>I4s', data[at:at + 8])
        if kind in (b'IHDR', b'IDAT', b'IEND'):
            out += data[at:at + 12 + n]
        at += 12 + n
    open(name, 'wb').write(out)
PY
shots "file://$tmp/still/index.html#motion-pictures" "$tmp/still-shot"
for f in "$tmp"/play-{0,1,2}.png "$tmp"/still-shot-{0,1,2}.png; do
    [ -s "$f" ] || { echo "FAILED: no screenshot $f"; fail=1; }
done
# Three moments, so that a pause of exactly one loop between two cannot hide the play.
if cmp -s "$tmp/play-0.png" "$tmp/play-1.png" && cmp -s "$tmp/play-1.png" "$tmp/play-2.png"; then
    echo "FAILED: the animated crops did not move"
    fail=1
fi
if ! cmp -s "$tmp/still-shot-0.png" "$tmp/still-shot-1.png" || ! cmp -s "$tmp/still-shot-1.png" "$tmp/still-shot-2.png"; then
    echo "FAILED: the page with still crops changed too, so the difference proves nothing"
    fail=1
fi
[ $fail -eq 0 ] && echo "ok: motion pictures loaded, one row per mode, the crops play"
exit $fail

#!/usr/bin/env bash
# The Windows build under Wine against the Linux build, same size, same Mesa underneath:
# the same captures with the same granted and effective counts, and scores within 0.05
# RMSE levels and 0.0005 SSIM; and each one's quillmere presented as its back buffer shows it,
# which the presentation verdict calls unchanged.
# Usage: wine_compare.sh LINUX_QUILLMERE_MEASURE WINDOWS_QUILLMERE_MEASURE_EXE
set -uo pipefail
linux=$(realpath "$1")
windows=$(realpath "$2")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
args=(--size 320x240 --reference-k 4)
"$linux" "${args[@]}" --out "$tmp/linux" >"$tmp/linux.log" 2>&1 || { echo "FAILED: Linux run"; cat "$tmp/linux.log"; exit 1; }
(cd "$tmp" && wine "$windows" "${args[@]}" --out windows >"$tmp/wine.log" 2>&1) || { echo "FAILED: Wine run"; cat "$tmp/wine.log"; exit 1; }
/usr/bin/python3 "$(dirname "$0")/check_results.py" schema "$tmp/linux/results.json" "$tmp/windows/results.json" || exit 1
python3 - "$tmp/linux/results.json" "$tmp/windows/results.json" <<'PY'
import json, sys
a, b = (json.load(open(p)) for p in sys.argv[1:3])
ca = {c["name"]: c for c in a["captures"]}
cb = {c["name"]: c for c in b["captures"]}
bad = []
if sorted(ca) != sorted(cb):
    bad.append("captures differ: %s vs %s" % (sorted(ca), sorted(cb)))
for name in sorted(set(ca) & set(cb)):
    x, y = ca[name], cb[name]
    for key in ("requested", "granted", "effective_samples"):
        if x[key] != y[key]:
            bad.append("%s %s: %s vs %s" % (name, key, x[key], y[key]))
    for key, tol in (("rmse", 0.05), ("edge_rmse", 0.05), ("interior_rmse", 0.05), ("ssim", 0.0005)):
        if abs(x[key] - y[key]) > tol:
            bad.append("%s %s: %.4f vs %.4f" % (name, key, x[key], y[key]))
    print("%-18s granted %s/%s  edge %.3f/%.3f  ssim %.5f/%.5f" % (name, x["granted"], y["granted"], x["edge_rmse"],
          y["edge_rmse"], x["ssim"], y["ssim"]))
# Each build starts its own quillmere beside it and captures the presented window: on
# Windows from the desktop (BitBlt), on Linux from the X window.
for label, d in (("Linux", a), ("Wine", b)):
    p = d["presented"]
    print("%-6s presented: captured %s, differing pixels %s (%s)" % (label, p["captured"], p.get("differing_pixels"),
          p.get("method")))
    if not p["captured"] or p["differs"] or "exit status 0" not in p["closed"]:
        bad.append("%s: quillmere's presented window not captured equal and closed: %s" % (label, p))
    # What presentation did, analysed the same way on both: nothing.
    elif p.get("verdict") != "unchanged" or p["presentation"]["differing_pixels"] != 0:
        bad.append("%s: presentation verdict %s, not unchanged" % (label, p.get("verdict")))
for line in bad:
    print("FAILED:", line)
sys.exit(1 if bad else 0)
PY

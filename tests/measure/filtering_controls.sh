#!/bin/sh
# Forced filtering made outside the tool (a preloaded library rewrites the filters before
# the driver sees them) must be detected and named; without the anisotropy extension the
# report says "not supported" and stays whole. Usage: filtering_controls.sh TOOL PRELOAD
set -eu
tool=$1
preload=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# run NAME [VAR=VALUE...]: one quick filter-only run of the tool, headless on llvmpipe.
run() {
    name=$1
    shift
    env "$@" "$tool" --headless --modes filter --reference-k 2 --size 410x300 --out "$out/$name" >"$out/$name.log" 2>&1 ||
        { cat "$out/$name.log"; echo "FAIL: the $name run exited $?"; exit 1; }
}
run nearest LD_PRELOAD="$preload${LD_PRELOAD:+ $LD_PRELOAD}" QUILL_FORCE_FILTER=nearest
run cut LD_PRELOAD="$preload${LD_PRELOAD:+ $LD_PRELOAD}" QUILL_FORCE_FILTER=trilinear-cut
run anisotropy LD_PRELOAD="$preload${LD_PRELOAD:+ $LD_PRELOAD}" QUILL_FORCE_FILTER=anisotropy
run sharpen LD_PRELOAD="$preload${LD_PRELOAD:+ $LD_PRELOAD}" QUILL_FORCE_FILTER=sharpen
run noext MESA_EXTENSION_OVERRIDE=-GL_EXT_texture_filter_anisotropic

python3 - "$out" <<'PY'
import json, sys
out = sys.argv[1]
def filtering(name):
    return json.load(open(f"{out}/{name}/results.json"))["filtering"]
failures = []
def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok: failures.append(what)

f = filtering("nearest")
p = f["program"][0]
check(not p["honoured"] and p["delivered"] == "GL_NEAREST" and "forced" in p["verdict"],
      "GL_LINEAR forced to GL_NEAREST is named: " + p["verdict"])
f = filtering("cut")
check(f["program"][0]["honoured"], "a trilinear cut leaves the program's GL_LINEAR alone")
check(f["trilinear"]["blend_width"] < 0.2 and "optimisation" in f["trilinear"]["verdict"],
      "the trilinear cut is detected: " + f["trilinear"]["verdict"])
f = filtering("anisotropy")
p = f["program"][0]
check(not p["honoured"] and "anisotropy" in p["delivered"],
      "a forced anisotropy on the program's GL_LINEAR is named: " + p["verdict"])
f = filtering("sharpen")
a = f["anisotropy"]
check(all(abs(d["delivered"] - d["requested"]) <= 0.15 * d["requested"] for d in a["degrees"]),
      "sharpened: the level follows every degree: %s" % [round(d["delivered"], 1) for d in a["degrees"]])
check(all(d["major_minor_spread"] < 1.5 and "aliases" in d["verdict"] for d in a["degrees"][1:]),
      "sharpened: no degree filters along the major axis: %s" % [round(d["major_minor_spread"], 2) for d in a["degrees"]])
check("aliases" in a["verdict"], "sharpened: " + a["verdict"])
f = filtering("noext")
whole = json.load(open(f"{out}/noext/results.json"))
a = f["anisotropy"]
check(not a["supported"] and "not supported" in a["verdict"], "without the extension: " + a["verdict"])
check(f["measured"] and f["program"][0]["honoured"] and f["ring_lod"]["verdict"] == "within the rules"
      and f["trilinear"]["blend_width"] > 0.9 and whole["complete"], "the rest of the report is whole")
sys.exit(1 if failures else 0)
PY

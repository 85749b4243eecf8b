#!/usr/bin/env python3
"""quillmere-measure's layers hold: each folder includes only the folders below it
(main -> compare -> report -> run -> {aa, filtering, motion, presentation} -> gl -> core,
presentation also using aa), and the pure
models (measure/models.cmake) include no OpenGL, platform, renderer, file or JSON header.
With --build DIR it also builds the models alone, in a project that never looks for OpenGL.
Usage: layers.py ROOT [--build DIR]"""
import pathlib
import re
import subprocess
import sys

ROOT = pathlib.Path(sys.argv[1]).resolve()
MEASURE = ROOT / "measure"
# What each folder may include of measure/, itself among them.
BELOW = {"core": {"core"}, "gl": {"gl", "core"}}
for model in ("aa", "filtering", "motion"):
    BELOW[model] = {model, "gl", "core"}
# What presentation does is measured with the anti-aliasing model's bands and quantisation.
BELOW["presentation"] = {"presentation", "aa", "gl", "core"}
BELOW["run"] = {"run", "aa", "filtering", "motion", "presentation", "gl", "core"}
BELOW["report"] = BELOW["run"] | {"report"}
BELOW["compare"] = BELOW["report"] | {"compare"}
# Headers no pure model may include: OpenGL and the platform, the renderer, files, JSON.
IMPURE = re.compile(r'#include\s*[<"](GL/|platform/|render/|app/|nlohmann/|stb/|fstream|filesystem|windows\.h)')
INCLUDE = re.compile(r'#include\s*"measure/([a-z_]+)/([a-z_]+\.h)"')

faults = []
for path in sorted(MEASURE.rglob("*")):
    if path.suffix not in (".h", ".cpp") or path.parent == MEASURE:
        continue
    folder = path.relative_to(MEASURE).parts[0]
    if folder not in BELOW:
        faults.append(f"{path.relative_to(ROOT)}: a folder the layers do not name")
        continue
    for number, line in enumerate(path.read_text().splitlines(), 1):
        m = INCLUDE.search(line)
        if m and m.group(1) not in BELOW[folder]:
            faults.append(f"{path.relative_to(ROOT)}:{number}: {folder}/ includes {m.group(1)}/{m.group(2)}")

# The models: the sources models.cmake lists, their headers, and the headers of core/.
listed = re.search(r"set\(QUILL_MEASURE_MODELS\s+([^)]*)\)", (MEASURE / "models.cmake").read_text()).group(1).split()
pure = {MEASURE / s for s in listed} | {(MEASURE / s).with_suffix(".h") for s in listed}
pure |= set((MEASURE / "core").glob("*.h"))
data = re.search(r"set\(QUILL_MEASURE_MODEL_DATA\s+([^)]*)\)", (MEASURE / "models.cmake").read_text()).group(1).split()
pure |= {MEASURE / s for s in data}
pure_names = {p.relative_to(MEASURE).as_posix() for p in pure}
for path in sorted(pure):
    if not path.exists():
        continue
    for number, line in enumerate(path.read_text().splitlines(), 1):
        m = INCLUDE.search(line)
        where = f"{path.relative_to(ROOT)}:{number}"
        if m and f"{m.group(1)}/{m.group(2)}" not in pure_names:
            faults.append(f"{where}: a pure model includes measure/{m.group(1)}/{m.group(2)}, which is not one")
        if IMPURE.search(line):
            faults.append(f"{where}: a pure model includes {line.split()[-1]}")

for fault in faults:
    print(fault)
if faults:
    sys.exit(1)
print(f"layers hold; {len(pure)} files of pure models")

if len(sys.argv) == 4 and sys.argv[2] == "--build":
    build = pathlib.Path(sys.argv[3])
    source = pathlib.Path(__file__).resolve().parent / "models_alone"
    for step in (["cmake", "-S", str(source), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                  "-DCMAKE_DISABLE_FIND_PACKAGE_OpenGL=ON"],
                 ["cmake", "--build", str(build), "-j2"], [str(build / "models_alone")]):
        result = subprocess.run(step, capture_output=True, text=True)
        if result.returncode != 0:
            print(result.stdout[-3000:] + result.stderr[-3000:])
            print(f"FAILED: {' '.join(step)}")
            sys.exit(1)
    print("the pure models build and link alone, without OpenGL")

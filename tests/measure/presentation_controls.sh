#!/usr/bin/env bash
# What presentation did, measured against real post-processing outside the tool: vkBasalt
# over zink on lavapipe (FXAA is morphological anti-aliasing keeping less texture detail
# than the unchanged picture, CAS is sharpening, SMAA morphological), zink without it and
# plain llvmpipe unchanged, and picom's window shaders on Xvfb (a 3 x 3 box blur is a box
# filter, a gamma curve and a limited-range squeeze are colour changes). SMAA, the gamma
# curve and the limited-range squeeze are controls no threshold was tuned on. Beyond the
# candidates: vkBasalt's denoised luma sharpening (little overshoot) is sharpening, its FXAA
# without subpixel blend at a high threshold morphological, picom's saturation boost a
# colour change mixing the channels, a 2 x 2 pixelation not anti-aliasing, vkBasalt's SMAA
# then CAS both in order, and a contrast S-curve a colour curve. A missing
# vkBasalt, Vulkan driver or picom skips its cases (status 77 when nothing could run).
# GROUP picks one half, so that each fits one test's time under the sanitizers: vkbasalt
# (zink with and without the layer) or picom (plain llvmpipe and its window shaders).
# Usage: presentation_controls.sh QUILLMERE_MEASURE vkbasalt|picom
set -uo pipefail
tool=$1
group=$2
case $group in vkbasalt | picom) ;; *) echo "unknown group: $group" >&2; exit 2 ;; esac
here=$(dirname "$0")
. "$here/../wait.sh"
tmp=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    [ -n "${KEEP:-}" ] && cp -r "$tmp" "$KEEP"; rm -rf "$tmp"
}
trap cleanup EXIT
fail=0 ran=0
check() { local name=$1; shift; if "$@"; then echo "ok: $name"; else echo "FAILED: $name"; fail=1; fi; }
# field OUT EXPR: a Python expression over p (presented), q (its presentation figures).
field() {
    python3 -c "import json; d=json.load(open('$1/results.json')); p=d['presented']; q=p.get('presentation', {}); print($2)"
}

start_xvfb -screen 0 1280x1024x24 -nolisten tcp || { echo "FAILED: Xvfb did not start"; exit 1; }
pids+=("$xvfb_pid")
display=$xvfb_display

# The expectations a user writes for a display path that must leave the picture alone.
printf 'presented.verdict == "unchanged"\npresented.detail_kept >= 0.9\n' >"$tmp/unchanged.expect"
# measure NAME [VAR=VALUE...]: the tool's window and presented picture at quillmere's size,
# with the expectations above; its status in $tmp/NAME.status.
measure() {
    local name=$1
    shift
    env -u QUILLMERE_SAMPLES DISPLAY="$display" "$@" "$tool" --modes window --reference-k 4 --out "$tmp/$name" \
        --expect "$tmp/unchanged.expect" >"$tmp/$name.log" 2>&1
    echo $? >"$tmp/$name.status"
    ran=1
    check "$name: captured and compared" test "$(field "$tmp/$name" "p['captured'], p.get('compared')")" = "True True"
    echo "$name: $(field "$tmp/$name" "p.get('differing_pixels'), p.get('verdict'), p.get('detail_kept')")"
}
verdict() { field "$tmp/$1" "p.get('verdict')"; }
kept() { field "$tmp/$1" "p.get('detail_kept')"; }
below() { python3 -c "import sys; sys.exit(0 if float('$1') < float('$2') else 1)"; }

vkbasalt_controls() {
    local zink=(LIBGL_ALWAYS_SOFTWARE=1 MESA_LOADER_DRIVER_OVERRIDE=zink)
    if ! ls /usr/share/vulkan/icd.d/lvp_icd.*.json >/dev/null 2>&1; then
        echo "skipped: zink and vkBasalt (no lavapipe Vulkan driver)"
    else
        measure zink "${zink[@]}"
        check "zink without vkBasalt: unchanged, the expectations hold" test "$(verdict zink) $(cat "$tmp/zink.status")" = "unchanged 0"
        # The same driver's picture without the layer holds the detail FXAA must fall below.
        local unchanged
        unchanged=$(kept zink)
        if ! ls /usr/lib/*/vkbasalt/libvkbasalt.so >/dev/null 2>&1; then
            echo "skipped: vkBasalt (not installed)"
        else
            printf 'effects = fxaa\n' >"$tmp/fxaa.conf"
            printf 'effects = cas\ncasSharpness = 0.4\n' >"$tmp/cas.conf"
            printf 'effects = smaa\n' >"$tmp/smaa.conf"
            printf 'effects = dls\n' >"$tmp/dls.conf"
            printf 'effects = fxaa\nfxaaQualitySubpix = 0.0\nfxaaQualityEdgeThreshold = 0.25\n' >"$tmp/sparse.conf"
            printf 'effects = smaa:cas\n' >"$tmp/smaacas.conf"
            for effect in fxaa cas smaa dls sparse smaacas; do
                measure "vkbasalt-$effect" "${zink[@]}" ENABLE_VKBASALT=1 VKBASALT_CONFIG_FILE="$tmp/$effect.conf"
            done
            check "vkBasalt FXAA: morphological anti-aliasing" test "$(verdict vkbasalt-fxaa)" = morphological
            check "vkBasalt FXAA: less texture detail kept than the unchanged picture" \
                below "$(kept vkbasalt-fxaa)" "$unchanged"
            check "vkBasalt FXAA: the expectations of an unchanged picture fail (status 9)" \
                test "$(cat "$tmp/vkbasalt-fxaa.status")" = 9
            check "vkBasalt FXAA: the window's verdict joins the back buffer's and presentation's" \
                grep -Eq '"verdict": "no anti-aliasing \(one sample per pixel\), with (a )?morphological[^"]* at presentation"' \
                "$tmp/vkbasalt-fxaa/results.json"
            check "vkBasalt CAS: sharpening" test "$(verdict vkbasalt-cas)" = sharpening
            check "vkBasalt CAS: overshoot past the local range" \
                test "$(field "$tmp/vkbasalt-cas" "q['range']['overshoot_share'] > 0")" = True
            check "vkBasalt SMAA (untuned control): morphological" test "$(verdict vkbasalt-smaa)" = morphological
            check "vkBasalt DLS: sharpening" test "$(verdict vkbasalt-dls)" = sharpening
            check "vkBasalt FXAA without subpixel blend, threshold 0.25: morphological" \
                test "$(verdict vkbasalt-sparse)" = morphological
            check "vkBasalt SMAA then CAS: morphological, then sharpening" \
                test "$(verdict vkbasalt-smaacas)" = morphological+sharpening
        fi
    fi
}

# picom SHADER NAME: one measurement under picom running the window shader in SHADER.
picom_run() {
    # It writes its pid file once it has taken the screen as its compositor.
    DISPLAY="$display" picom --backend glx --glx-fshader-win "$(cat "$1")" --write-pid-path "$tmp/$2.pid" \
        >"$tmp/$2.picom.log" 2>&1 &
    local cpid=$!
    if await_file_line "$tmp/$2.pid" 1 '^[0-9]+$' >/dev/null; then
        measure "$2"
    else
        echo "FAILED: picom did not start ($2)"
        fail=1
    fi
    kill $cpid 2>/dev/null
    wait $cpid 2>/dev/null
}
shader() {  # shader FILE BODY: a picom window shader whose colour is BODY (of vec4 c and the sampler)
    printf '#version 130\nuniform sampler2D tex;\nuniform float opacity;\nvoid main() {\n    vec2 step = 1.0 / vec2(textureSize(tex, 0));\n    vec2 at = gl_TexCoord[0].xy;\n    vec4 c = texture(tex, at);\n%s\n    gl_FragColor = c * opacity;\n}\n' "$2" >"$1"
}
picom_controls() {
    measure llvmpipe
    check "llvmpipe: the expectations of an unchanged picture hold (status 0)" test "$(cat "$tmp/llvmpipe.status")" = 0
    check "llvmpipe: unchanged, no pixel differs" test "$(field "$tmp/llvmpipe" "p['verdict'], p['differing_pixels']")" = "unchanged 0"
    check "llvmpipe: the summary opens with what presentation did" \
        test "$(field "$tmp/llvmpipe" "d['summary'].startswith('Presentation leaves')")" = True
    check "llvmpipe: detail kept over every landmark" \
        test "$(field "$tmp/llvmpipe" "[x['landmark'] for x in q['detail'] if x['has_detail']]")" = "['interiors', 'checkerboards', 'thin_lines', 'caption']"
    check "llvmpipe: the page's texture-detail table is the results'" \
        /usr/bin/python3 "$here/check_results.py" detail "$tmp/llvmpipe"

    if ! command -v picom >/dev/null; then
        echo "skipped: picom (not installed)"
    else
        shader "$tmp/box.glsl" '    c = vec4(0.0);
        for (int y = -1; y <= 1; ++y)
            for (int x = -1; x <= 1; ++x) c += texture(tex, at + vec2(x, y) * step) / 9.0;'
        shader "$tmp/gamma.glsl" '    c.rgb = pow(c.rgb, vec3(1.0 / 1.6));'
        shader "$tmp/limited.glsl" '    c.rgb = c.rgb * (219.0 / 255.0) + 16.0 / 255.0;'
        shader "$tmp/saturate.glsl" '    float l = dot(c.rgb, vec3(0.299, 0.587, 0.114));
        c.rgb = clamp(mix(vec3(l), c.rgb, 1.5), 0.0, 1.0);'
        shader "$tmp/pixelate.glsl" '    c = texture(tex, (floor(at / step / 2.0) * 2.0 + 0.5) * step);'
        shader "$tmp/scurve.glsl" '    c.rgb = smoothstep(0.0, 1.0, c.rgb);'
        picom_run "$tmp/box.glsl" picom-box
        check "picom box blur: a box filter" test "$(field "$tmp/picom-box" "p['verdict'], q['kernel']['shape']")" = "filter box"
        picom_run "$tmp/gamma.glsl" picom-gamma
        check "picom gamma curve (untuned control): a colour change, a gamma" \
            test "$(field "$tmp/picom-gamma" "p['verdict'], q['steps'][0]['text'].startswith('a gamma')")" = "colour True"
        picom_run "$tmp/limited.glsl" picom-limited
        check "picom limited range (untuned control): a colour change into 16-235" \
            test "$(field "$tmp/picom-limited" "p['verdict'], q['colour_curve']['low'], q['colour_curve']['high']")" = "colour 16 235"
        picom_run "$tmp/saturate.glsl" picom-saturate
        check "picom saturation boost: a colour change mixing the channels" \
            test "$(field "$tmp/picom-saturate" "p['verdict'], q['steps'][0].get('colour')")" = "colour mixed"
        picom_run "$tmp/pixelate.glsl" picom-pixelate
        check "picom 2 x 2 pixelation: not anti-aliasing" test "$(verdict picom-pixelate)" != morphological
        picom_run "$tmp/scurve.glsl" picom-scurve
        check "picom contrast S-curve: a colour curve whose ends are levels" \
            test "$(field "$tmp/picom-scurve" "p['verdict'], q['steps'][0]['colour'], 0 <= q['steps'][0]['low'] <= q['steps'][0]['high'] <= 255")" = "colour curve True"
    fi
}

"${group}_controls"
check "every results.json here matches docs/results.schema.json" \
    /usr/bin/python3 "$here/check_results.py" schema "$tmp"/*/results.json
[ $ran -eq 0 ] && exit 77
exit $fail

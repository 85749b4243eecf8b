#!/usr/bin/env bash
# Checks the packages in dist/ (scripts/package.sh makes them) the way a user meets them:
#   the .deb's installed files validate (desktop entry, AppStream) and lintian finds no error;
#   both carry docs/ beside the README, and every link of every page there resolves in place;
#   the zip holds the programs, README, licence and docs/ and nothing else, its programs carry the
#   version resource and icon, and quillmere.exe, unpacked alone, opens its window under Wine
#   and ends with 0 when closed; then the .deb in a clean Debian 12 root (check-deb-cleanroot.sh).
# Needs an X display (scripts/test.sh provides one) and the Linux build's xclose.
set -uo pipefail
cd "$(dirname "$0")/.."

# Both packages must hold quillmere-measure (QUILL_REQUIRE_MEASURE=0 checks a build without it).
require_measure=${QUILL_REQUIRE_MEASURE:-1}

version=$(sed -n 's/^project(quillmere VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
deb=dist/quillmere_${version}_amd64.deb
zip=dist/quillmere-${version}-win64.zip
xclose=$PWD/build/linux/tests/xclose
title="Quillmere (by Vennick)"
status=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; status=1; fi
}
for f in "$deb" "$zip" "$xclose"; do
    [ -f "$f" ] || { echo "FAIL: $f is missing (run scripts/package.sh)"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== $deb"
dpkg-deb -x "$deb" "$work/deb"
check "desktop entry validates" desktop-file-validate "$work"/deb/usr/share/applications/*.desktop
check "desktop entry starts quillmere" grep -qx "Exec=quillmere" "$work"/deb/usr/share/applications/*.desktop
check "desktop entry in category Graphics" grep -qx "Categories=Graphics;" "$work"/deb/usr/share/applications/*.desktop
check "AppStream metadata validates" appstreamcli validate --no-net "$work"/deb/usr/share/metainfo/*.metainfo.xml
check "AppStream release is $version" grep -q "<release version=\"$version\"" "$work"/deb/usr/share/metainfo/*.metainfo.xml
check "icon is a 256 x 256 PNG" \
    bash -c "file '$work/deb/usr/share/icons/hicolor/256x256/apps/quillmere.png' | grep -q 'PNG image data, 256 x 256'"
check "README and licence in share/doc/quillmere" \
    test -f "$work/deb/usr/share/doc/quillmere/README.md" -a -f "$work/deb/usr/share/doc/quillmere/copyright"
check "docs/ in share/doc/quillmere, as in the sources" \
    diff -r docs "$work/deb/usr/share/doc/quillmere/docs"
check "every link of the installed README and docs resolves" \
    python3 tests/measure/docs_links.py "$work/deb/usr/share/doc/quillmere"
check "quillmere in bin/" test -x "$work/deb/usr/bin/quillmere"
deb_measure=0
[ -x "$work/deb/usr/bin/quillmere-measure" ] && deb_measure=1
[ "$deb_measure" = 1 ] || [ "$require_measure" = 0 ] || { echo "FAIL: no quillmere-measure in the .deb"; status=1; }
# Root is how the suite runs here; lintian only warns about it.
lintian --allow-root --fail-on error,warning "$deb" >"$work/lintian" 2>&1
lintian_status=$?
sed 's/^/    lintian: /' "$work/lintian"
check "lintian reports no error and no warning" test "$lintian_status" = 0

echo "== $zip"
mkdir "$work/zip"
unzip -q "$zip" -d "$work/zip"
dir=$work/zip/quillmere-${version}-win64
expected="LICENSE.txt README.txt quillmere.exe"
zip_measure=0
[ -f "$dir/quillmere-measure.exe" ] && zip_measure=1 && expected="LICENSE.txt README.txt quillmere-measure.exe quillmere.exe"
[ "$zip_measure" = 1 ] || [ "$require_measure" = 0 ] || { echo "FAIL: no quillmere-measure.exe in the zip"; status=1; }
listing=$(cd "$work/zip" && find . -mindepth 1 | sort | tr '\n' ' ')
docs=$(cd docs && ls)
want=$(printf './quillmere-%s-win64\n' "$version"; for f in $expected docs $(printf 'docs/%s ' $docs); do
    printf './quillmere-%s-win64/%s\n' "$version" "$f"; done)
check "zip holds one folder with: $expected docs/" test "$listing" = "$(echo "$want" | sort | tr '\n' ' ')"
check "every link of the zip's README.txt and docs resolves" python3 tests/measure/docs_links.py "$dir" README.txt
for exe in "$dir"/*.exe; do
    rc=$(x86_64-w64-mingw32-windres -i "$exe" -O rc 2>/dev/null)
    name=$(basename "$exe")
    check "$name: version resource" bash -c 'grep -q "VALUE \"ProductName\", \"Quillmere\"" <<<"$0" &&
        grep -q "VALUE \"FileVersion\", \"$1\"" <<<"$0" && grep -q "VALUE \"FileDescription\", \"" <<<"$0" &&
        grep -q "VALUE \"OriginalFilename\", \"$2\"" <<<"$0"' "$rc" "$version" "$name"
    check "$name: icon resource" bash -c 'grep -q "RT_GROUP_ICON" <<<"$0"' "$rc"
done

export WINEPREFIX=${WINEPREFIX:-$PWD/build/wineprefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 </dev/null
# quillmere.exe alone in an empty folder: nothing beside it that it could load.
mkdir "$work/alone"
cp "$dir/quillmere.exe" "$work/alone/"
check "quillmere.exe alone under Wine: window opens, closed with 0" \
    bash -c 'cd "$1" && exec "$2" close "$3" wine ./quillmere.exe' _ "$work/alone" "$PWD/tests/exit_status.sh" "$xclose"
if [ "$zip_measure" = 1 ]; then
    out=$(cd "$dir" && timeout 60 wine ./quillmere-measure.exe --version 2>&1)
    echo "    quillmere-measure.exe --version: $out"
    check "quillmere-measure.exe --version prints $version" grep -qF "$version" <<<"$out"
fi

echo "== $deb in a clean Debian 12 root"
check "clean-root install and run" scripts/check-deb-cleanroot.sh "$deb"
exit $status

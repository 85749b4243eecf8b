#!/usr/bin/env bash
# Installs the .deb into a clean Debian 12 root with apt, as a user would, then starts
# quillmere from PATH there on the current X display: its window must open, and it must
# end with 0 when closed the way a window manager closes it. dpkg -L there must list the
# README and every page of docs/, and every link of the installed pages must resolve.
#   scripts/check-deb-cleanroot.sh [DEB]   (default dist/quillmere_VERSION_amd64.deb)
# Needs root (debootstrap, chroot, mounts; re-runs itself through sudo), deb.debian.org
# and the Linux build's xclose. The bare tree (debootstrap --variant=minbase bookworm) and
# the downloaded packages are kept in QUILL_CLEANROOT_CACHE (/var/cache/quillmere-cleanroot);
# each run installs into a fresh copy of the tree. QUILL_CLEANROOT_REFRESH=1 remakes the tree.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || exec sudo --preserve-env=DISPLAY,XAUTHORITY,QUILL_CLEANROOT_CACHE,QUILL_CLEANROOT_REFRESH,QUILL_REQUIRE_MEASURE "$0" "$@"

version=$(sed -n 's/^project(quillmere VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
deb=$(realpath "${1:-dist/quillmere_${version}_amd64.deb}")
xclose=$PWD/build/linux/tests/xclose
cache=${QUILL_CLEANROOT_CACHE:-/var/cache/quillmere-cleanroot}
base=$cache/base
root=$cache/run
[ -n "${DISPLAY:-}" ] || { echo "FAIL: no X display"; exit 1; }
[[ "$DISPLAY" == :* ]] || { echo "FAIL: DISPLAY $DISPLAY is not a local display"; exit 1; }
[ -x "$xclose" ] || { echo "FAIL: $xclose is missing (build the linux preset)"; exit 1; }

start=$SECONDS
mkdir -p "$cache/debs" "$cache/archives"
# One run at a time uses the cache.
exec 9>"$cache/lock"
flock 9
if [ "${QUILL_CLEANROOT_REFRESH:-0}" = 1 ] || [ ! -f "$base/.quillmere-complete" ]; then
    rm -rf "$base"
    echo "debootstrap --variant=minbase bookworm (kept in $base)"
    debootstrap --variant=minbase --cache-dir="$cache/debs" bookworm "$base" http://deb.debian.org/debian >"$cache/debootstrap.log" 2>&1 \
        || { tail -20 "$cache/debootstrap.log"; echo "FAIL: debootstrap"; exit 1; }
    touch "$base/.quillmere-complete"
fi

# Lists what is mounted under the root, deepest first.
mounted() { awk -v r="$root/" 'index($2, r) == 1 { print $2 }' /proc/mounts | sort -r; }
# Unmounts everything under the root, also what an interrupted run left, and removes it;
# removing it while /dev or the X socket is still bound there would delete the host's.
cleanup() {
    local m
    for m in $(mounted); do umount -l "$m" 2>/dev/null || true; done
    if [ -n "$(mounted)" ]; then
        echo "FAIL: still mounted under $root, left in place: $(mounted | tr '\n' ' ')"
        return 1
    fi
    rm -rf "$root"
}
# A root left behind fails the run, whatever came before.
trap 'cleanup || exit 1' EXIT
bind() { mkdir -p "$2"; mount --bind "$1" "$2"; }
cleanup || exit 1
cp -a "$base" "$root"
mount -t proc proc "$root/proc"
bind /dev "$root/dev"
bind "$cache/archives" "$root/var/cache/apt/archives"
# The X server's socket, and its cookie where it has one.
bind /tmp/.X11-unix "$root/tmp/.X11-unix"
xauth_env=()
if [ -n "${XAUTHORITY:-}" ] && [ -f "$XAUTHORITY" ]; then
    cp "$XAUTHORITY" "$root/tmp/xauthority"
    xauth_env=(XAUTHORITY=/tmp/xauthority)
fi
cp "$deb" "$root/tmp/"
cp /etc/resolv.conf "$root/etc/resolv.conf"

in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
in_root apt-get update -q >"$cache/apt.log" 2>&1 || { tail -20 "$cache/apt.log"; echo "FAIL: apt-get update"; exit 1; }
# Only what the package declares: no recommended packages to hide a missing dependency.
if ! in_root sh -c "cd /tmp && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends ./$(basename "$deb")" \
        >>"$cache/apt.log" 2>&1; then
    tail -30 "$cache/apt.log"
    echo "FAIL: apt install ./$(basename "$deb")"
    exit 1
fi
echo "ok: apt install ./$(basename "$deb"): $(grep -c '^Setting up' "$cache/apt.log") packages set up"

status=0
# What dpkg says it installed, not only what the files' tree holds.
listed=$(in_root dpkg -L quillmere)
unlisted=""
for f in README.md $(cd docs && printf 'docs/%s ' *); do
    grep -qx "/usr/share/doc/quillmere/$f" <<<"$listed" || unlisted+=" $f"
done
if [ -z "$unlisted" ]; then echo "ok: dpkg -L quillmere lists the README and docs/ ($(grep -c '^/usr/share/doc/quillmere/docs/.' <<<"$listed") pages and pictures)"
else echo "FAIL: dpkg -L quillmere lacks:$unlisted"; status=1; fi
if python3 tests/measure/docs_links.py "$root/usr/share/doc/quillmere"; then echo "ok: every link of the installed pages resolves"
else echo "FAIL: links of the installed pages"; status=1; fi
where=$(in_root sh -c 'command -v quillmere')
[ "$where" = /usr/bin/quillmere ] || { echo "FAIL: quillmere on PATH is '$where'"; status=1; }
if ! tests/exit_status.sh close "$xclose" \
        chroot "$root" env -i PATH=/usr/bin:/bin HOME=/root DISPLAY="$DISPLAY" "${xauth_env[@]}" quillmere; then
    status=1
fi
if in_root test -x /usr/bin/quillmere-measure; then
    out=$(in_root quillmere-measure --version 2>&1) || true
    echo "    quillmere-measure --version: $out"
    if grep -qF "$version" <<<"$out"; then echo "ok: quillmere-measure --version"; else echo "FAIL: quillmere-measure --version"; status=1; fi
elif [ "${QUILL_REQUIRE_MEASURE:-1}" = 1 ]; then
    echo "FAIL: no quillmere-measure installed"
    status=1
fi
echo "clean root: $((SECONDS - start)) s"
exit $status

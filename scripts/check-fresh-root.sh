#!/usr/bin/env bash
# Runs the README's test command as a new user's machine would: in a fresh Debian 12 root
# (debootstrap --variant=minbase bookworm) with /proc, /sys and /dev mounted as a booted
# machine has them, a clean clone of this checkout's HEAD and shared/ beside it, and the
# environment CI gives (env -i, CI=true). Prints the run's time and ends with its status.
#   scripts/check-fresh-root.sh [CMD...]   (default: bash .ci/run, in the clone)
# Needs root (debootstrap, chroot, mounts; re-runs itself through sudo) and Debian's mirror.
# The bare tree and the downloaded packages are kept in QUILL_FRESHROOT_CACHE
# (/var/cache/quillmere-freshroot); each run starts from a fresh copy of the tree.
# QUILL_FRESHROOT_REFRESH=1 remakes the tree; QUILL_FRESHROOT_KEEP=1 leaves the run's root
# in place (unmounted) for a look afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || exec sudo --preserve-env=QUILL_FRESHROOT_CACHE,QUILL_FRESHROOT_REFRESH,QUILL_FRESHROOT_KEEP "$0" "$@"

repo=$PWD
shared=$(realpath ../shared)
[ -n "$(ls -A "$shared" 2>/dev/null)" ] || { echo "FAIL: no shared/ beside the checkout"; exit 1; }
cache=${QUILL_FRESHROOT_CACHE:-/var/cache/quillmere-freshroot}
base=$cache/base
root=$cache/run
command -v debootstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap >/dev/null

start=$SECONDS
mkdir -p "$cache/debs" "$cache/archives"
# One run at a time uses the cache.
exec 9>"$cache/lock"
flock 9
if [ "${QUILL_FRESHROOT_REFRESH:-0}" = 1 ] || [ ! -f "$base/.quillmere-complete" ]; then
    rm -rf "$base"
    echo "debootstrap --variant=minbase bookworm (kept in $base)"
    # This machine's own Debian mirror, as its apt sources name it (either file may be absent).
    mirror=$({ sed -nE 's|^URIs:[[:space:]]*(\S+/debian)/?$|\1|p' /etc/apt/sources.list.d/*.sources
               awk '$1 == "deb" && $2 ~ /\/debian\/?$/ { print $2 }' /etc/apt/sources.list
               true; } 2>/dev/null | head -1)
    [ -n "$mirror" ] || { echo "FAIL: no Debian mirror in /etc/apt/sources.list*"; exit 1; }
    debootstrap --variant=minbase --cache-dir="$cache/debs" bookworm "$base" "$mirror" \
        >"$cache/debootstrap.log" 2>&1 || { tail -20 "$cache/debootstrap.log"; echo "FAIL: debootstrap"; exit 1; }
    touch "$base/.quillmere-complete"
fi

# Lists what is mounted under the root, deepest first.
mounted() { awk -v r="$root/" 'index($2, r) == 1 { print $2 }' /proc/mounts | sort -r; }
# Unmounts everything under the root, also what an interrupted run left; removing the tree
# while /dev is still bound there would delete the host's.
unmount_all() {
    local m
    for m in $(mounted); do umount -l "$m" 2>/dev/null || true; done
    [ -z "$(mounted)" ] || { echo "FAIL: still mounted under $root: $(mounted | tr '\n' ' ')"; return 1; }
}
# Ends what a run left running inside the root (an X server, a compositor), which would
# keep its mounts busy.
end_processes() {
    local p
    for p in /proc/[0-9]*; do
        case "$(readlink "$p/root" 2>/dev/null)" in "$root" | "$root"/*) kill -9 "${p#/proc/}" 2>/dev/null || true ;; esac
    done
}
cleanup() {
    end_processes
    unmount_all || return 1
    [ "${QUILL_FRESHROOT_KEEP:-0}" = 1 ] || rm -rf "$root"
}
trap 'cleanup || exit 1' EXIT
end_processes
unmount_all
rm -rf "$root"
cp -a "$base" "$root"
# A booted machine's /dev has /dev/shm and /dev/pts mounted inside it; a plain bind of /dev
# would leave them empty folders.
mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount --rbind /dev "$root/dev"
mount --make-rslave "$root/dev"
mkdir -p "$root/var/cache/apt/archives"
mount --bind "$cache/archives" "$root/var/cache/apt/archives"
cp /etc/resolv.conf "$root/etc/resolv.conf"

# The clone and shared/ as CI lays them: shared/ read-only beside the clone.
mkdir -p "$root/src"
git clone -q --no-hardlinks "$repo" "$root/src/quillmere"
cp -a "$shared" "$root/src/shared"
chmod -R a-w "$root/src/shared"
echo "fresh root: $(git -C "$root/src/quillmere" log -1 --format='%h %s')"

# Certificate authorities this machine's network needs (a proxy that intercepts HTTPS, as
# npm's registry is reached here): the root trusts them once ca-certificates is installed,
# and node is pointed at the system's store, as this machine's own environment does.
extra_ca=()
if [ -n "$(ls -A /usr/local/share/ca-certificates 2>/dev/null)" ]; then
    mkdir -p "$root/usr/local/share/ca-certificates"
    cp -a /usr/local/share/ca-certificates/. "$root/usr/local/share/ca-certificates/"
    extra_ca=(NODE_EXTRA_CA_CERTS=/etc/ssl/certs/ca-certificates.crt)
fi
[ $# -gt 0 ] || set -- bash .ci/run
run_start=$SECONDS
status=0
chroot "$root" env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    LANG=C.UTF-8 CI=true "${extra_ca[@]}" sh -c 'cd /src/quillmere && exec "$@"' sh "$@" </dev/null || status=$?
echo "fresh root: '$*' ended with $status after $((SECONDS - run_start)) s ($((SECONDS - start)) s in all)"
exit $status

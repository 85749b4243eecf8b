#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need.
# Runs apt-get only when something is missing; needs root (or sudo) then.
set -euo pipefail

packages=(
    build-essential cmake pkg-config git
    libsdl2-dev libgl-dev libglu1-mesa-dev libx11-dev libgl1-mesa-dri
    libgtest-dev libbenchmark-dev
    g++-mingw-w64-x86-64 wine wine64
    xvfb xauth x11-utils xdotool imagemagick
    valgrind clang clang-format
    libclang-rt-dev libxdamage-dev libxcomposite-dev openbox
    libstb-dev desktop-file-utils appstream lintian debootstrap zip unzip fakeroot dpkg-dev file
    libwayland-dev libwayland-bin sway grim weston wayland-utils jq
    libcli11-dev nlohmann-json3-dev libvalijson-dev libegl-dev libegl-mesa0 python3-skimage chromium
    python3-jsonschema python3-lxml mesa-vulkan-drivers vkbasalt picom
)

# node and npm for the browser tests' client, Debian's unless another node is installed.
command -v npm >/dev/null || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The browser tests' npm packages, exactly as locked; again only when the lock changed since
# (a copy of it in node_modules says which was installed), so that a machine offline passes.
browser=$(cd "$(dirname "$0")/../tests/browser" && pwd)
if ! cmp -s "$browser/package-lock.json" "$browser/node_modules/.installed-lock.json"; then
    echo "Installing the browser tests' npm packages"
    (cd "$browser" && npm ci --no-audit --no-fund && cp package-lock.json node_modules/.installed-lock.json)
fi

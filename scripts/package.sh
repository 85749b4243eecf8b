#!/usr/bin/env bash
# Builds the Linux and Windows presets and packs them into dist/: quillmere_VERSION_amd64.deb
# and quillmere-VERSION-win64.zip (CPack, from the install rules in cmake/packaging.cmake).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=${JOBS:-$(nproc)}
mkdir -p dist
rm -f dist/quillmere_*.deb dist/quillmere-*.zip
for preset in linux windows; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$jobs"
done
# cpack leaves each package in its build folder; only the finished file goes to dist/.
(cd build/linux && rm -f quillmere_*.deb && cpack -G DEB >/dev/null && cp quillmere_*.deb ../../dist/)
(cd build/windows && rm -f quillmere-*.zip && cpack -G ZIP >/dev/null && cp quillmere-*.zip ../../dist/)
ls -l dist/

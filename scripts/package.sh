#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package (used by `make package`): a release build of the program alone in
# build/package-build, packed by CPack (cmake/Install.cmake says what goes in), with its Depends
# worked out by dpkg-shlibdeps. build/package/ then holds exactly one file,
# ac-wattmeter_<version>_<arch>.deb; scripts/check-package.sh installs and checks it.
#
#   JOBS  parallel build jobs (default: the number of cores)
set -euo pipefail
cd "$(dirname "$0")/.."

jobs="${JOBS:-$(nproc)}"
build=build/package-build
out=build/package

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DACW_BUILD_TESTS=OFF -DACW_BUILD_BENCH=OFF -DACW_BUILD_FUZZ=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target ac-wattmeter
rm -rf "$build/cpack" "$out"
cpack --config "$build/CPackConfig.cmake" -B "$PWD/$build/cpack"
mkdir -p "$out"
cp "$build"/cpack/*.deb "$out"/
echo "package.sh: $(ls "$out"/*.deb)"

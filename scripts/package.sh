#!/usr/bin/env bash
# Builds the Debian package: a Release build in BUILD_DIR (default build-package/) and
# `cpack -G DEB` there. The package lands in BUILD_DIR (pontiq_<version>_<arch>.deb); its path
# is printed last.
#   scripts/package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
pontiq_install_deps dpkg-dev file
dir=${1:-build-package}
if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$dir"
(cd "$dir" && cpack -G DEB >/dev/null)
ls -1t "$dir"/pontiq_*.deb | head -1

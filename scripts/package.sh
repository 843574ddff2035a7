#!/usr/bin/env bash
# Builds the Debian package: a Release build in build-package/ and `cpack -G DEB` there.
# The package lands in build-package/ (pontiq_<version>_<arch>.deb); its path is printed last.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
pontiq_install_deps dpkg-dev file
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-package
(cd build-package && cpack -G DEB >/dev/null)
ls -1 build-package/pontiq_*.deb | tail -1

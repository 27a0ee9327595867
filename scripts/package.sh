#!/usr/bin/env bash
# Makes the Debian package from this checkout and prints its path as the last
# line: installs what building needs (the run set of scripts/install-deps.sh,
# nothing of the tests), builds the programs without the test suite in
# build-package/ (BUILD_DIR to change) and packs them with cpack.
#
#   bash scripts/package.sh
#   sudo apt install ./build-package/orvex-gsm_VERSION_ARCH.deb
#
# Extra arguments go to cmake's configure, e.g.
#   bash scripts/package.sh -DORVEX_PACKAGE_MAINTAINER="Name <address>"
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BUILD_DIR:-build-package}"
bash scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j2

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$build/orvex-gsm_${version}_$(dpkg --print-architecture).deb
rm -f "$build"/orvex-gsm_*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || {
  cat "$build/cpack.log" >&2
  echo "package.sh: cpack failed (log in $build/cpack.log)" >&2
  exit 1
}
realpath "$deb"

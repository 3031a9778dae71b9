#!/usr/bin/env bash
# Builds the Debian package: build/dorvan_<version>_amd64.deb (the release
# build of scripts/build.sh in build/, then cpack). Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh build
(cd build && cpack -G DEB > cpack.log 2>&1) || { cat build/cpack.log; exit 1; }
ls build/dorvan_*_amd64.deb

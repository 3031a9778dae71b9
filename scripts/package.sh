#!/usr/bin/env bash
# Builds the Debian package: build-release/dorvan_<version>-1_amd64.deb (a
# Release build without the tests in build-release/, then cpack). Installs
# the Debian packages it needs first. Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh >&2
scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DDORVAN_TESTS=OFF >&2
rm -f build-release/dorvan_*.deb
(cd build-release && cpack -G DEB > cpack.log 2>&1) || { cat build-release/cpack.log >&2; exit 1; }
ls build-release/dorvan_*_amd64.deb

#!/usr/bin/env bash
# Cross-builds dorvan.exe with mingw-w64 as a Release build (warnings are
# errors), with the OpenSSL of scripts/openssl-mingw.sh (built once per
# version, cached outside the checkout), and runs the core end-to-end cases
# against it under wine; the Linux-built test program drives it (label wine).
set -euo pipefail
cd "$(dirname "$0")/.."
openssl=$(scripts/openssl-mingw.sh)
cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DOPENSSL_ROOT_DIR="$openssl" \
    -DCMAKE_BUILD_TYPE=Release -DDORVAN_WERROR=ON >/dev/null
cmake --build build-win --target dorvan -j2
scripts/build.sh build -DDORVAN_WINDOWS_EXE="$PWD/build-win/dorvan.exe"
ctest --test-dir build --output-on-failure -L wine

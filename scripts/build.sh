#!/usr/bin/env bash
# Configures and builds into the folder given (default build): extra cmake
# flags after it (a later -DCMAKE_BUILD_TYPE wins), then, after `--target`,
# the targets to build (default all). Warnings are errors.
#   scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release --target dorvan
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
flags=()
targets=()
while [ $# -gt 0 ]; do
    if [ "$1" = --target ]; then
        shift
        targets+=("$@")
        break
    fi
    flags+=("$1")
    shift
done
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDORVAN_WERROR=ON "${flags[@]}" >/dev/null
cmake --build "$dir" -j2 ${targets[@]:+--target "${targets[@]}"}

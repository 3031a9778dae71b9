#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds, runs every test,
# builds the Release build of the package and a clang Release build with the
# tests (warnings are errors in both), runs the core cases against the
# Windows Release build under wine, then runs every test again under
# AddressSanitizer and UndefinedBehaviorSanitizer, the tests where threads
# meet under ThreadSanitizer, and each fuzz target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
step_start=$SECONDS
step() { echo "== test.sh: $1 took $((SECONDS - step_start)) s"; step_start=$SECONDS; }
scripts/install-deps.sh
scripts/build.sh build
step "install-deps.sh and the release build"
ctest --test-dir build --output-on-failure -j2 -LE wine
step "release tests"
scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DDORVAN_TESTS=OFF
step "Release build (-O3) of the package"
scripts/build.sh build-clang -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang
step "Release build with clang, tests included"
scripts/wine-test.sh
step "Windows build and its tests under wine"
scripts/build.sh build-asan -DDORVAN_SANITIZE=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j2
step "ASan+UBSan build and tests"
scripts/build.sh build-tsan -DDORVAN_TSAN=ON
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir build-tsan --output-on-failure -j2 -R 'KeepAlive|Concurrency|AbortFromAnother|Interrupt|ParallelBatch'
step "TSan build and tests"
scripts/fuzz.sh
step "fuzz targets"

#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds, runs every test,
# then runs it again under AddressSanitizer and UndefinedBehaviorSanitizer,
# the tests where threads meet under ThreadSanitizer, and each fuzz target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
ctest --test-dir build --output-on-failure -j2
scripts/build.sh build-asan -DDORVAN_SANITIZE=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j2
scripts/build.sh build-tsan -DDORVAN_TSAN=ON
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir build-tsan --output-on-failure -j2 -R 'KeepAlive|Concurrency|AbortFromAnother|Interrupt|ParallelBatch'
scripts/fuzz.sh

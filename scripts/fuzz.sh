#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang into build-fuzz and runs each
# for a fixed number of inputs (default 20000) from its seeds in
# fuzz/corpus/<name>/. New inputs go to a temporary folder, never the seeds.
# A longer run: scripts/fuzz.sh 2000000
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20000}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_COMPILER=clang -DDORVAN_FUZZ=ON -DDORVAN_TESTS=OFF -DDORVAN_WERROR=ON >/dev/null
targets=()
for source in fuzz/*_fuzz.cpp; do targets+=("$(basename "$source" .cpp)"); done
cmake --build build-fuzz -j2 --target "${targets[@]}"
found=$(mktemp -d)
trap 'rm -rf "$found"' EXIT
for source in fuzz/*_fuzz.cpp; do
    name=$(basename "$source" _fuzz.cpp)
    mkdir -p "$found/$name"
    echo "fuzzing $name ($runs runs)"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "build-fuzz/fuzz/${name}_fuzz" -runs="$runs" -max_len=4096 -artifact_prefix=build-fuzz/ \
        "$found/$name" "fuzz/corpus/$name" 2>"$found/$name.log" ||
        { tail -60 "$found/$name.log"; echo "fuzz target $name failed"; exit 1; }
done

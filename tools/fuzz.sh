#!/usr/bin/env bash
# Fuzzes one target with libFuzzer under ASan/UBSan:
#   tools/fuzz.sh <name> [seconds]
# New corpus entries go to tests/fuzz/corpus/<name>, crashes to
# tests/fuzz/crashes/<name>; commit both so that the tests replay them.
set -euo pipefail
cd "$(dirname "$0")/.."
name=$1
seconds=${2:-600}
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMORVANE_GUI=OFF -DMORVANE_SANITIZE=ON -DMORVANE_FUZZ=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link"
cmake --build build/fuzz --target "fuzz_$name"
mkdir -p "tests/fuzz/corpus/$name" "tests/fuzz/crashes/$name"
build/fuzz/tests/fuzz_$name "tests/fuzz/corpus/$name" \
  -artifact_prefix="tests/fuzz/crashes/$name/" -max_total_time="$seconds"

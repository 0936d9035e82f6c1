#!/usr/bin/env bash
# Fuzzes one target with libFuzzer under ASan/UBSan:
#   tools/fuzz.sh <name> [seconds]
# The fuzzer starts from tests/fuzz/corpus/<name> and keeps what it finds
# in a scratch corpus below build/fuzz; at the end only the inputs that
# reach code (edges, not hit counts) the committed corpus does not are
# merged into it (-merge=1), so that it stays small.  Crashes, leaks,
# timeouts and running out of memory go to tests/fuzz/crashes/<name>; commit
# both so that the tests replay them.  Several targets may run at once:
# they build one at a time.
set -euo pipefail
cd "$(dirname "$0")/.."
name=$1
seconds=${2:-600}
mkdir -p build
(
  flock 9
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMORVANE_GUI=OFF -DMORVANE_SANITIZE=ON -DMORVANE_FUZZ=ON \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link" > /dev/null
  cmake --build build/fuzz --target "fuzz_$name"
) 9> build/fuzz.lock
corpus=tests/fuzz/corpus/$name
crashes=tests/fuzz/crashes/$name
scratch=build/fuzz/corpus-$name
mkdir -p "$corpus" "$crashes" "$scratch"
found() { find "$crashes" -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' | wc -l; }
before=$(found)
status=0
"build/fuzz/tests/fuzz_$name" "$scratch" "$corpus" -artifact_prefix="$crashes/" -max_total_time="$seconds" \
  -print_final_stats=1 || status=$?
"build/fuzz/tests/fuzz_$name" -merge=1 -use_counters=0 "$corpus" "$scratch"
echo "fuzz_$name: $(($(found) - before)) new crashes"
exit $status

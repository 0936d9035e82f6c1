#!/usr/bin/env bash
# Builds everything twice (optimised, and with ASan/UBSan) and runs every
# test in both builds.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
for cfg in release asan; do
  extra=()
  [ "$cfg" = asan ] && extra=(-DMORVANE_SANITIZE=ON)
  cmake -S . -B "build/$cfg" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${extra[@]}"
  if ! cmake --build "build/$cfg" -j "$jobs"; then
    # Qt's moc keeps caches that can miss source files added since the last
    # build (a pull or a merge): start them afresh once.
    find "build/$cfg" -maxdepth 3 -name '*_autogen' -type d -exec rm -rf {} +
    cmake --build "build/$cfg" -j "$jobs"
  fi
  (cd "build/$cfg" && ctest --output-on-failure -j "$jobs" --timeout 900)
done

#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the editor and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release --target morvane
exec build/release/app/morvane "$@"

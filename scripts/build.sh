#!/usr/bin/env bash
# Configures and builds both builds: build/host (simulated machine, unit tests, tools) and
# build/win32 (the product and its Windows companions).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh "${1:-build}"
[ -f build/host/CMakeCache.txt ] || cmake --preset host >/dev/null
[ -f build/win32/CMakeCache.txt ] || cmake --preset win32 >/dev/null
cmake --build build/host
cmake --build build/win32

#!/usr/bin/env bash
# Builds everything and runs every test: the unit suite on the simulated machine, then the
# end-to-end scenarios under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh test
echo "== unit tests (host, simulated machine)"
ctest --test-dir build/host --output-on-failure -j2
echo "== fuzzing (clang, libFuzzer, sanitizers)"
scripts/fuzz.sh "${VORN_FUZZ_SECONDS:-60}"
echo "== end-to-end tests (Wine)"
ctest --test-dir build/win32 --output-on-failure -j2

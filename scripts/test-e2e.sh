#!/usr/bin/env bash
# Builds both trees and runs every end-to-end scenario under Wine, however long it takes: here
# when this machine runs 32-bit code, else in the emulated guest (scripts/with-wine.sh; there
# about 45 s a scenario, two at a time). Arguments go to ctest (for example -R uninstall).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh test
export VORN_GUEST_TIMEOUT=${VORN_GUEST_TIMEOUT:-14400}
exec scripts/with-wine.sh ctest --test-dir build/win32 --output-on-failure -j2 --no-tests=error "$@"

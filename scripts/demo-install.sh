#!/usr/bin/env bash
# Runs `vornsetup.exe setvrsrf32` in a fresh Wine prefix and prints what it installed.
# Needs a built win32 tree. Options go to the demo: --config win10-64|win7-64|xp-32|win7-32-cp950, --keep.
set -euo pipefail
cd "$(dirname "$0")/.."
exec /usr/bin/python3 tests/e2e/vornwine.py demo --bin "$PWD/build/win32/bin" "$@"

#!/usr/bin/env bash
# Builds the setup and runs a silent install in a fresh Wine prefix, printing what it installed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh test
scripts/demo-install.sh "$@"

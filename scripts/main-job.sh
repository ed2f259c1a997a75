#!/usr/bin/env bash
# Builds the setup and runs a silent install in a fresh Wine prefix, printing what it installed:
# here, or in the emulated guest where this machine cannot run 32-bit code (scripts/with-wine.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh test
scripts/with-wine.sh scripts/demo-install.sh "$@"

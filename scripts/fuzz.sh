#!/usr/bin/env bash
# Runs the container fuzz target for a bounded time (seconds, default 60) with ASan and UBSan,
# seeded with real containers of both layouts. Fails on any finding: libFuzzer's whole report is
# shown and the input that caused it stays in build/fuzz/crashes/ (replay it by passing the file
# to build/fuzz/bin/archive_fuzz). The seeds are packed with build/host/bin/vrzpack.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

# Runs a step quietly; its output is shown only when it fails.
quiet() {
  local out status=0
  out=$(mktemp /tmp/vorn-fuzz-step.XXXXXX)
  "$@" >"$out" 2>&1 || status=$?
  [ $status -eq 0 ] || cat "$out"
  rm -f "$out"
  return $status
}
[ -f build/fuzz/CMakeCache.txt ] || quiet cmake --preset fuzz
quiet cmake --build build/fuzz
if [ ! -x build/host/bin/vrzpack ]; then
  echo "build/host/bin/vrzpack is missing: scripts/build.sh builds it" >&2
  exit 1
fi

work=$(mktemp -d /tmp/vorn-fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/files"
( cd "$work/files"
  printf 'hello' > a.txt
  printf '\xd6\xd0\xb9\xfa; \xc8\xcb\xc3\xf1; ' > vorncyzk.bak
  head -c 3000 /dev/zero > blank.bmp
  "$OLDPWD/build/host/bin/vrzpack" add "$work/corpus/current.vrz" a.txt vorncyzk.bak blank.bmp >/dev/null )
/usr/bin/python3 - "$work/corpus/older.vrz" <<'PY'
import struct, sys, zlib
out = bytearray(b"CH") + bytes(8)
for name, content in ((b"vrbmp8.vrh", bytes(4096)), (b"vrbmpsx1.bmp", b"BM" + bytes(200))):
    body = zlib.compress(content)
    out += b"CF" + name.ljust(14, b"\0") + struct.pack("<I", len(body)) + body
struct.pack_into("<II", out, 2, len(out), 2)
open(sys.argv[1], "wb").write(out)
PY
cp "$work/files/vorncyzk.bak" "$work/corpus/phrases.txt"

# Outside the scratch directory, which goes at exit: a finding must outlive the run.
crashes=build/fuzz/crashes
log=build/fuzz/fuzz.log
mkdir -p "$crashes"
touch "$work/started"
echo "fuzzing the container reader for ${seconds}s"
status=0
build/fuzz/bin/archive_fuzz -max_total_time="$seconds" -max_len=65536 -timeout=10 \
  -artifact_prefix="$crashes/" -print_final_stats=1 "$work/corpus" >"$log" 2>&1 || status=$?
found=$(find "$crashes" -type f -newer "$work/started" | sort)

if [ $status -eq 0 ] && [ -z "$found" ]; then
  tail -n 12 "$log"
  echo "fuzzing found nothing"
  exit 0
fi
# All of it but the coverage progress lines ("#<runs><tab>NEW ..."), which are in $log.
grep -Ev $'^#[0-9]+\t' "$log" || true
echo "fuzzing FAILED (archive_fuzz exit status $status); whole output in $log"
if [ -n "$found" ]; then
  echo "inputs left by this run:"
  sed "s|^|  |" <<<"$found"
else
  echo "no input was left in $crashes/"
fi
exit 1

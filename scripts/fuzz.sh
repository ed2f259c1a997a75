#!/usr/bin/env bash
# Runs the container fuzz target for a bounded time (seconds, default 60) with ASan and UBSan,
# seeded with real containers of both layouts. Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
[ -f build/fuzz/CMakeCache.txt ] || cmake --preset fuzz >/dev/null
cmake --build build/fuzz >/dev/null

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

echo "fuzzing the container reader for ${seconds}s"
build/fuzz/bin/archive_fuzz -max_total_time="$seconds" -max_len=65536 -timeout=10 \
  -artifact_prefix="$work/" -print_final_stats=1 "$work/corpus" 2>&1 | tail -n 12
echo "fuzzing found nothing"

#!/usr/bin/env bash
# Runs every fuzz target (libFuzzer with ASan and UBSan, build/fuzz) for a bounded time. First
# each target's regression inputs (tests/fuzz/regressions/<target>/, the findings of earlier
# runs) are replayed once; then it fuzzes from its seed corpus (tests/fuzz/corpus/<target>/) and
# those inputs. The time in seconds (the argument, else VORN_FUZZ_SECONDS, else 80) is shared
# out evenly; two targets run at a time. Fails on any finding: libFuzzer's report is shown and
# the input stays in build/fuzz/crashes/<target>/ and is named; replay it by passing the file to
# build/fuzz/bin/<target>. Each target's output is in build/fuzz/logs/<target>.log.
#   scripts/fuzz.sh [seconds] [target...]
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
seconds=${1:-${VORN_FUZZ_SECONDS:-80}}
shift $(( $# > 0 ? 1 : 0 ))
lanes=2

# Runs a step quietly; its output is shown only when it fails.
quiet() {
  local out status=0
  out=$(mktemp /tmp/vorn-fuzz-step.XXXXXX)
  "$@" >"$out" 2>&1 || status=$?
  [ $status -eq 0 ] || cat "$out"
  rm -f "$out"
  return $status
}
if [ ! -f build/fuzz/CMakeCache.txt ]; then quiet cmake --preset fuzz || exit 1; fi
quiet flock /tmp/vorn-build.lock cmake --build build/fuzz || exit 1

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for source in tests/fuzz/*_fuzz.cpp; do
    name=$(basename "$source" .cpp)
    targets+=("$name")
  done
fi
# Fewer targets than lanes (one named alone) get the time asked for, not a multiple of it.
[ ${#targets[@]} -ge $lanes ] || lanes=${#targets[@]}
per=$(( seconds * lanes / ${#targets[@]} ))
[ "$per" -ge 1 ] || per=1

crashes=build/fuzz/crashes
logs=build/fuzz/logs
mkdir -p "$crashes" "$logs"
work=$(mktemp -d /tmp/vorn-fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT
# A small quarantine keeps the memory of a long run modest; use after free is still caught.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

# The largest input each target makes: a container or a bitmap needs room, a path file not.
max_len() {
  case $1 in
    archive_fuzz | payload_bitmap_fuzz) echo 65536 ;;
    *) echo 8192 ;;
  esac
}

# fuzz_one <target>: replays the regressions, then fuzzes; the result goes to $work/<target>.
fuzz_one() {
  local target=$1 binary=build/fuzz/bin/$1 log=$logs/$1.log status=0
  local seeds=tests/fuzz/corpus/$1 regressions=tests/fuzz/regressions/$1
  local found=$crashes/$1
  mkdir -p "$found" "$work/$1.corpus"
  : >"$log"
  touch "$work/$1.started"
  if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
    echo "-- replaying $regressions" >>"$log"
    "$binary" -artifact_prefix="$found/" "$regressions"/* >>"$log" 2>&1 || status=$?
  fi
  if [ $status -eq 0 ]; then
    local dirs=("$work/$1.corpus" "$seeds")
    [ -d "$regressions" ] && dirs+=("$regressions")
    "$binary" -max_total_time="$per" -max_len="$(max_len "$1")" -timeout=10 \
      -artifact_prefix="$found/" -print_final_stats=1 "${dirs[@]}" >>"$log" 2>&1 || status=$?
  fi
  echo "$status" >"$work/$1.status"
}

echo "fuzzing ${#targets[@]} targets for ${per}s each, $lanes at a time"
running=0
for target in "${targets[@]}"; do
  if [ ! -x "build/fuzz/bin/$target" ]; then
    echo "build/fuzz/bin/$target is missing" >&2
    exit 1
  fi
  fuzz_one "$target" &
  running=$((running + 1))
  if [ $running -ge $lanes ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

failed=0
total=0
for target in "${targets[@]}"; do
  log=$logs/$target.log
  status=$(cat "$work/$target.status" 2>/dev/null || echo 1)
  runs=$(sed -n 's/^stat::number_of_executed_units: //p' "$log" | tail -n 1)
  runs=${runs:-0}
  total=$((total + runs))
  found=$(find "$crashes/$target" -type f -newer "$work/$target.started" | sort)
  if [ "$status" -eq 0 ] && [ -z "$found" ]; then
    printf '%-22s %10s runs  nothing found\n' "$target" "$runs"
    continue
  fi
  failed=1
  printf '%-22s %10s runs  FAILED (exit status %s); whole output in %s\n' "$target" "$runs" \
    "$status" "$log"
  # All of it but the coverage progress lines ("#<runs><tab>NEW ...").
  grep -Ev $'^#[0-9]+\t' "$log" | sed 's/^/    /'
  if [ -n "$found" ]; then
    echo "  inputs left by this run:"
    sed 's/^/    /' <<<"$found"
  else
    echo "  no input was left in $crashes/$target/"
  fi
done
echo "$total runs in all"
if [ $failed -ne 0 ]; then
  echo "fuzzing FAILED"
  exit 1
fi
echo "fuzzing found nothing"

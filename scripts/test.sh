#!/usr/bin/env bash
# Builds everything and runs every suite: the unit and tool tests on the simulated machine, the
# whole-install fault injection, both of those again under ASan and UBSan, the static analysis
# (clang-tidy and cppcheck), a bounded run of every fuzz target (VORN_FUZZ_SECONDS in all), then
# the end-to-end scenarios under Wine (scripts/with-wine.sh: here, or in an emulated guest where
# this machine cannot run 32-bit code, the core set only). Every suite runs even when an earlier one failed; each
# one's output is also kept in build/test-logs/<suite>.log. Prints one line per suite, then
# "N passed, N failed" last, and exits non-zero when any suite failed.
# No -e: a failing suite is recorded, not the end of the run.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

logs=build/test-logs
mkdir -p "$logs" || exit 1
rm -f "$logs"/*.log

passed=0
failed=0
summary=()

# record <suite> <status> <seconds> [why]
record() {
  local line
  line=$(printf '%-11s' "$1")
  if [ "$2" -eq 0 ]; then
    passed=$((passed + 1))
    summary+=("$line passed  (${3}s)")
  else
    failed=$((failed + 1))
    summary+=("$line FAILED  (${3}s) ${4:-see $logs/$1.log}")
  fi
}

# run <suite> <command...>: in the foreground, output to the terminal and to the suite's log.
run() {
  local name=$1 began=$SECONDS status
  shift
  echo "== $name"
  "$@" 2>&1 | tee "$logs/$name.log"
  status=${PIPESTATUS[0]}
  record "$name" "$status" $((SECONDS - began))
  return "$status"
}

# start <suite> <command...>: in the background, in a process group of its own (so that an
# interrupted run can stop all of it), output only to the suite's log; finish prints it.
declare -A pid started
start() {
  local name=$1
  shift
  started[$name]=$SECONDS
  set -m
  "$@" </dev/null >"$logs/$name.log" 2>&1 &
  pid[$name]=$!
  set +m
}
finish() {
  local status
  wait "${pid[$1]}"
  status=$?
  unset "pid[$1]"
  echo "== $1"
  cat "$logs/$1.log"
  record "$1" "$status" $((SECONDS - started[$1]))
}
stop_all() {
  local p
  for p in "${pid[@]}"; do kill -- -"$p" 2>/dev/null; done
}
trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A suite that cannot run counts as failed: stale binaries from an earlier build prove nothing.
not_run() {
  echo "== $1: not run, $2" | tee "$logs/$1.log"
  record "$1" 1 0 "(not run: $2)"
}

sanitizers() {
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  if [ ! -f build/asan/CMakeCache.txt ]; then
    cmake --preset asan || return 1
  fi
  cmake --build build/asan --target unit_tests fault_tests || return 1
  local status=0
  echo "-- build/asan/bin/unit_tests"
  build/asan/bin/unit_tests || status=1
  # The fault points in two halves, one a core: ten minutes on one core otherwise. The reinstall
  # before the restart runs the install's code over again (seven minutes here): the install's
  # own suite covers that code point by point under the sanitizers, the "faults" suite runs it.
  echo "-- build/asan/bin/fault_tests, two halves"
  local half halves=()
  for half in 0 1; do
    VORN_FAULT_SHARD=$half/2 build/asan/bin/fault_tests \
      --gtest_filter=-LearnedDataFaults.EachFaultPointOfAReinstallBeforeTheRestartSaysWhatItLeft \
      >"$logs/sanitizers-faults-$half.log" 2>&1 &
    halves+=($!)
  done
  for half in 0 1; do
    wait "${halves[$half]}" || status=1
    cat "$logs/sanitizers-faults-$half.log"
  done
  return $status
}

if run build scripts/build.sh test; then built=1; else built=0; fi

if [ $built = 1 ]; then
  run unit ctest --test-dir build/host --output-on-failure -j2 -LE faults --no-tests=error
  # Minutes of single-threaded whole installs: the fault suite and the sanitizer build and run
  # share the two cores, and each one's output is shown, in order, when it ends.
  echo "== faults and sanitizers (in the background; the output follows when each ends)"
  start faults ctest --test-dir build/host --output-on-failure -j2 -L faults --no-tests=error
else
  not_run unit "the build failed"
  not_run faults "the build failed"
fi
# Its own build directory: runs even when the main build failed.
start sanitizers sanitizers
[ $built = 1 ] && finish faults
finish sanitizers
# From the builds' compile commands, which the configuration writes: runs even when a build failed.
run analysis scripts/analysis.sh

if [ $built = 1 ]; then
  run fuzz scripts/fuzz.sh
  # The runner itself, with real guests whatever this machine can do (about a minute).
  run runner /usr/bin/python3 -m pytest -q -p no:cacheprovider tests/guest
  # The end-to-end scenarios, last and alone: under emulation they slow several times when
  # they share the cores. Where this machine cannot run 32-bit code they run in the emulated
  # guest, and only the core set fits the time; the rest are counted as not run, never passed.
  wine_mode=$(scripts/with-wine.sh --mode)
  if [ "${wine_mode%% *}" = native ]; then
    run wine scripts/with-wine.sh ctest --test-dir build/win32 --output-on-failure -j2 --no-tests=error
  elif counts=$(/usr/bin/python3 tests/e2e/scenario_set.py count core); then
    read -r in_set all <<<"$counts"
    run wine env VORN_E2E_SET=core VORN_GUEST_TIMEOUT="${VORN_GUEST_TIMEOUT:-3000}" \
      scripts/with-wine.sh ctest --test-dir build/win32 --output-on-failure -j2 --no-tests=error
    summary+=("            the core set: $in_set of $all scenarios ran, in the emulated guest;")
    summary+=("            $((all - in_set)) not run on this machine: ${wine_mode#guest }")
    summary+=("            (scripts/test-e2e.sh runs all $all; tests/e2e/core-set.txt lists the core set)")
  else
    not_run wine "the core set does not match the scenarios (tests/e2e/core-set.txt)"
  fi
else
  not_run fuzz "the build failed"
  not_run runner "the build failed"
  not_run wine "the build failed"
fi

echo "== summary"
printf '%s\n' "${summary[@]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

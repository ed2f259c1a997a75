#!/usr/bin/env bash
# Static analysis of the project's own code (programs common checks payload registration security
# settings userdata wizard platform tools standins), for scripts/test.sh; any finding fails it.
#   scripts/rooms.py: each of the product's folders includes only those below it, none in a circle.
#   clang-tidy (.clang-tidy) over the host build's compile commands: the product, the simulated
#     machine and the tools; and over the Windows build's for what only it compiles: the Windows
#     platform layer, the programs' entries and the stand-ins, parsed for i686-w64-mingw32 with MinGW's own headers.
#   cppcheck over both (scripts/cppcheck-suppressions.txt holds what it must not report, each
#     with its reason), the Windows part with its Windows library.
# The builds' compile commands (build/host, build/win32) are filtered into build/analysis/.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
jobs=${VORN_ANALYSIS_JOBS:-2}
out=build/analysis

for build in host win32; do
  if [ ! -f "build/$build/compile_commands.json" ]; then
    # The presets export them; a build directory configured before they did is refreshed.
    flock /tmp/vorn-build.lock cmake --preset "$build" >/dev/null || exit 1
  fi
done
mkdir -p "$out/host" "$out/win32" || exit 1

# The project's own sources of one build, once each, without the 8-bit character set option
# that clang has no GBK for (8-bit literals are UTF-8 to the analysers, which changes no flow).
#   filter <build> <folder regex> <clang-tidy files out> <cppcheck files out>
filter() {
  /usr/bin/python3 - "$@" <<'PY'
import json, os, re, sys
build, folders, tidy_out, cppcheck_out = sys.argv[1:]
root = os.getcwd() + "/"
wanted = re.compile(folders)
# Its assertions on the GBK lengths of its texts do not hold for UTF-8 literals, so clang
# cannot compile it; cppcheck still reads it.
clang_cannot = {"checks/default_input_method.cpp"}
seen, tidy, everything = set(), [], []
for entry in json.load(open(f"build/{build}/compile_commands.json")):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    relative = path[len(root):] if path.startswith(root) else path
    if relative in seen or not relative.endswith(".cpp") or not wanted.match(relative):
        continue
    seen.add(relative)
    entry["command"] = entry["command"].replace(" -fexec-charset=GBK", "")
    everything.append(entry)
    if relative not in clang_cannot:
        tidy.append(entry)
json.dump(tidy, open(tidy_out, "w"), indent=1)
json.dump(everything, open(cppcheck_out, "w"), indent=1)
print(f"{build}: {len(tidy)} files for clang-tidy, {len(everything)} for cppcheck")
PY
}
project='(programs|common|checks|payload|registration|security|settings|userdata|wizard|platform/(sim|posix|host)|tools)/'
filter host "$project" "$out/host/compile_commands.json" "$out/host/cppcheck.json" || exit 1
filter win32 '(platform/win32|standins)/|programs/[a-z_]+_main\.cpp$' "$out/win32/compile_commands.json" \
  "$out/win32/cppcheck.json" || exit 1

# MinGW's C++ and Windows headers, as its g++ searches them.
mingw=()
while read -r dir; do mingw+=("-extra-arg=-isystem$dir"); done < <(
  i686-w64-mingw32-g++ -v -E -x c++ /dev/null 2>&1 |
    sed -n '/#include <...> search starts here/,/End of search list/p' | sed -n 's/^ //p')

status=0
# step <name> <command...>: runs and times one analysis.
step() {
  local name=$1 began=$SECONDS result=0
  shift
  echo "-- $name"
  "$@" || result=$?
  echo "-- $name: $([ $result -eq 0 ] && echo clean || echo FINDINGS) in $((SECONDS - began))s"
  [ $result -eq 0 ] || status=1
}
# run-clang-tidy prints each file's command line; only the findings are of interest.
tidy() {
  run-clang-tidy -quiet -j "$jobs" "$@" 2>&1 | grep -Ev '^(clang-tidy|\[[0-9]+/[0-9]+\])|^[0-9]+ warnings? generated\.$|^Suppressed [0-9]+ warnings'
  return "${PIPESTATUS[0]}"
}
cppcheck_run() {
  cppcheck --enable=warning,performance,portability --std=c++20 -j "$jobs" --quiet \
    --error-exitcode=1 --suppress=missingIncludeSystem \
    --suppressions-list=scripts/cppcheck-suppressions.txt \
    --template='{file}:{line}: {severity}: {message} [{id}]' "$@"
}
# The rooms' includes: each room includes only the rooms below it, and none in a circle.
step "rooms" /usr/bin/python3 scripts/rooms.py --quiet
step "clang-tidy, host build" tidy -p "$out/host"
step "clang-tidy, Windows build" tidy -p "$out/win32" -extra-arg=--target=i686-w64-mingw32 \
  "${mingw[@]}"
step "cppcheck, host build" cppcheck_run --project="$out/host/cppcheck.json"
step "cppcheck, Windows build" cppcheck_run --project="$out/win32/cppcheck.json" \
  --library=windows -D_WIN32
exit $status

#!/usr/bin/env bash
# Runs a command where Wine can run 32-bit Windows programs: here, when this machine can
# execute 32-bit x86 code, else in an emulated guest (qemu-system-x86_64, software emulation)
# whose root is this machine's own, shared read-only.
#
#   scripts/with-wine.sh [--share DIR]... COMMAND [ARGS...]
#   scripts/with-wine.sh --mode        print the way it would take and why, run nothing
#
# In the guest the command runs as root with the repository, each --share folder, the current
# directory and the Wine cache ($VORN_WINE_CACHE) at the same absolute paths, read-write, and
# with this environment; its output and exit code come back. One guest per call.
#   VORN_WINE=native|guest   force a way (default: decided by scripts/guest/probe32.c)
#   VORN_GUEST_TIMEOUT       seconds the command may take in the guest (default 5400)
#   VORN_GUEST_BOOT_TIMEOUT  seconds until the command starts (default 300)
#   VORN_GUEST_MEMORY        the guest's memory in MiB (default 12288)
#   VORN_GUEST_CACHE         kernel, initramfs and run folders (default /var/tmp/vornsetup-guest)
# Prints "with-wine: MODE (why)" on stderr first. Exit 125: the guest failed (the message
# names its console log).
set -uo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cache=${VORN_GUEST_CACHE:-/var/tmp/vornsetup-guest}
shares=()
only_mode=0
while [ $# -gt 0 ]; do
  case $1 in
    --mode) only_mode=1; shift ;;
    --share) [ $# -ge 2 ] || { echo "with-wine: --share needs a folder" >&2; exit 2; }
             shares+=("$(realpath -m "$2")"); shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || [ $only_mode = 1 ] || { echo "usage: scripts/with-wine.sh [--share DIR]... COMMAND [ARGS...]" >&2; exit 2; }

# mode: native or guest, with the reason. The probe is built once per machine.
decide() {
  case ${VORN_WINE:-} in
    native|guest) echo "$VORN_WINE (forced by VORN_WINE)"; return ;;
    "") ;;
    *) echo "with-wine: VORN_WINE is native or guest, not '$VORN_WINE'" >&2; exit 2 ;;
  esac
  local probe=$cache/probe32 answer
  mkdir -p "$cache"
  if [ ! -x "$probe" ] || [ "$repo/scripts/guest/probe32.c" -nt "$probe" ]; then
    cc -O1 -no-pie -o "$probe.new" "$repo/scripts/guest/probe32.c" && mv -f "$probe.new" "$probe" ||
      { echo "with-wine: cannot build the 32-bit probe" >&2; exit 2; }
  fi
  answer=$("$probe" 2>&1)
  if [ "$answer" = yes ]; then
    echo "native (this machine runs 32-bit x86 code)"
  else
    echo "guest (this machine cannot run 32-bit x86 code: the probe said '$answer')"
  fi
}
mode_line=$(decide) || exit $?
if [ $only_mode = 1 ]; then
  echo "$mode_line"
  exit 0
fi
echo "with-wine: $mode_line" >&2
if [ "${mode_line%% *}" = native ]; then
  exec "$@"
fi

# ---- the emulated guest
"$repo/scripts/install-deps.sh" guest >&2 || exit 2
"$repo/scripts/guest/build.sh" >/dev/null || { echo "with-wine: the guest's kernel could not be built" >&2; exit 2; }

mkdir -p "$cache/runs"
run=$(mktemp -d "$cache/runs/run-XXXXXX")
qemu_pid=
tail_pid=
cleanup() {
  [ -n "$qemu_pid" ] && kill -9 "$qemu_pid" 2>/dev/null && wait "$qemu_pid" 2>/dev/null
  [ -n "$tail_pid" ] && kill "$tail_pid" 2>/dev/null
  qemu_pid= tail_pid=
}
trap 'cleanup; rm -rf "$run"; exit 130' INT
trap 'cleanup; rm -rf "$run"; exit 143' TERM
trap 'cleanup' EXIT

# Shared read-write at their own paths: the repository, the current directory, the Wine
# cache, the --share folders; a folder inside another shared one needs no share of its own.
wine_cache=${VORN_WINE_CACHE:-/var/tmp/vornsetup-wine}
mkdir -p "$wine_cache"
candidates=("$repo" "$(pwd -P)" "$(realpath -m "$wine_cache")" "${shares[@]}")
kept=()
for c in "${candidates[@]}"; do
  [ -d "$c" ] || { echo "with-wine: no folder $c to share" >&2; exit 2; }
  inside=0
  for other in "${candidates[@]}"; do
    [ "$other" != "$c" ] && [[ "$c" == "$other"/* ]] && inside=1
  done
  [ $inside = 1 ] || [[ " ${kept[*]-} " == *" $c "* ]] || kept+=("$c")
done
virtfs=(-virtfs "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap"
        -virtfs "local,path=$run,mount_tag=vornrun,security_model=none,multidevs=remap")
: > "$run/shares"
i=0
for dir in "${kept[@]}"; do
  virtfs+=(-virtfs "local,path=$dir,mount_tag=share$i,security_model=none,multidevs=remap")
  printf 'share%d\t%s\n' "$i" "$dir" >> "$run/shares"
  i=$((i + 1))
done

# The environment, less what belongs to this machine's session.
for name in $(compgen -e); do
  case $name in
    PWD|OLDPWD|SHLVL|_|DISPLAY|XAUTHORITY|TMPDIR|SSH_*|TERM|TERMCAP|COLUMNS|LINES|BASH_FUNC_*) continue ;;
  esac
  printf 'export %s=%q\n' "$name" "${!name}"
done > "$run/env"
echo "export VORN_WINE_MODE=guest" >> "$run/env"
pwd -P > "$run/cwd"
printf '%q ' "$@" > "$run/command"
echo >> "$run/command"
cp "$repo/scripts/guest/init.sh" "$run/init.sh"
: > "$run/output"

timeout=${VORN_GUEST_TIMEOUT:-5400}
boot_timeout=${VORN_GUEST_BOOT_TIMEOUT:-300}
started=$SECONDS
setpriv --pdeathsig SIGKILL -- qemu-system-x86_64 \
  -accel tcg,thread=multi,tb-size=1024 -cpu max,-smap -machine q35 -smp "$(nproc)" \
  -m "${VORN_GUEST_MEMORY:-12288}" -display none -monitor none -no-reboot -nic none \
  -kernel "$cache/vmlinuz" -initrd "$cache/initrd.gz" \
  -append "console=ttyS0 quiet panic=-1 rw" \
  -serial "file:$run/console.log" -chardev "file,id=out,path=$run/output" -device isa-serial,chardev=out \
  "${virtfs[@]}" </dev/null >"$run/qemu.log" 2>&1 &
qemu_pid=$!
tail -n +1 -f --pid="$qemu_pid" "$run/output" &
tail_pid=$!

why=
while kill -0 "$qemu_pid" 2>/dev/null; do
  if [ ! -f "$run/started" ] && [ $((SECONDS - started)) -gt "$boot_timeout" ]; then
    why="the guest did not start the command within ${boot_timeout} s"; break
  fi
  if [ $((SECONDS - started)) -gt "$timeout" ]; then
    why="the command did not end within ${timeout} s"; break
  fi
  sleep 1
done
kill -9 "$qemu_pid" 2>/dev/null
wait "$qemu_pid" 2>/dev/null
qemu_pid=
wait "$tail_pid" 2>/dev/null
tail_pid=

if [ -z "$why" ] && [ -f "$run/rc" ]; then
  rc=$(cat "$run/rc")
  echo "with-wine: the guest ran $((SECONDS - started)) s" >&2
  rm -rf "$run"
  exit "$rc"
fi
[ -n "$why" ] || why="the guest stopped without an exit code"
mkdir -p "$cache/failed"
kept_as=$cache/failed/$(basename "$run")
mv "$run" "$kept_as"
# The ten newest failed runs are kept for their logs.
ls -1dt "$cache"/failed/run-* 2>/dev/null | tail -n +11 | xargs -r rm -rf
echo "with-wine: $why; its console log: $kept_as/console.log (qemu's messages: $kept_as/qemu.log)" >&2
exit 125

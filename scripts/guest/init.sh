#!/bin/bash
# Stage two of the emulated guest, on the host's root under a throwaway layer: the folders
# a system needs, the run's shares at their host paths (read-write), then the command with its
# environment and directory. Its output goes to the second serial port, which the host shows;
# its exit code to /vorn-run/rc. Then the guest powers off.
run=/vorn-run
off() {
  sync
  echo o > /proc/sysrq-trigger
  sleep 60
}
trap off EXIT

mount -t tmpfs -o mode=1777 tmpfs /tmp
mount -t tmpfs -o mode=755 tmpfs /run
mkdir -p /dev/pts /dev/shm
mount -t devpts -o mode=620,ptmxmode=666 devpts /dev/pts
mount -t tmpfs -o mode=1777 tmpfs /dev/shm
hostname vorn-guest 2>/dev/null
ip link set lo up 2>/dev/null

while IFS=$'\t' read -r tag path; do
  [ -n "$tag" ] || continue
  mkdir -p "$path"
  if ! mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288,cache=loose "$tag" "$path"; then
    echo "vorn-guest: cannot mount the share $path" > /dev/console
    exit
  fi
done < "$run/shares"

# Throwaway Wine machines in the guest's memory rather than on a share; a tmpfs of its own,
# since a layer over a template cannot have its upper part on the root's layer.
mkdir -p /var/tmp/vornsetup-scratch
mount -t tmpfs -o mode=755,size=80% tmpfs /var/tmp/vornsetup-scratch
export VORN_WINE_SCRATCH=/var/tmp/vornsetup-scratch VORN_WINE_OVERLAY=1
stty -F /dev/ttyS1 raw -echo 2>/dev/null
echo "$(date +%s)" > "$run/started"
( set +e
  . "$run/env"
  cd "$(cat "$run/cwd")" || exit 125
  exec bash "$run/command" ) </dev/null >/dev/ttyS1 2>&1
echo $? > "$run/rc.partial" && mv "$run/rc.partial" "$run/rc"
# Let the shares' writes reach the host before the power goes.
while IFS=$'\t' read -r tag path; do
  [ -n "$tag" ] && umount "$path" 2>/dev/null
done < <(tac "$run/shares")

#!/usr/bin/env bash
# Builds what the emulated guest boots: Debian's kernel (from its package, unpacked, never
# installed) and a small initramfs of busybox with the drivers the guest needs (virtio, 9p,
# overlay). The guest's root is this machine's own root, shared read-only, so Wine, Xvfb,
# the fonts and Python are the packages installed here. Kept in $VORN_GUEST_CACHE
# (default /var/tmp/vornsetup-guest) and rebuilt only when the kernel package, busybox or
# this folder's stage-one files change. Prints the folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=${VORN_GUEST_CACHE:-/var/tmp/vornsetup-guest}
mkdir -p "$cache"

kernel_pkg=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/{print $2; exit}')
if [ -z "$kernel_pkg" ]; then
  apt-get update -qq
  kernel_pkg=$(apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-[0-9]/{print $2; exit}')
fi
[ -n "$kernel_pkg" ] || { echo "guest: no kernel package found for linux-image-amd64" >&2; exit 1; }
kernel_version=$(apt-cache policy "$kernel_pkg" | awk '/Candidate:/{print $2}')
stamp=$( { echo "$kernel_pkg $kernel_version"; dpkg-query -W -f='${Version}\n' busybox-static
           cat "$here/build.sh" "$here/initramfs-init"; } | sha256sum | cut -c1-16)

if [ "$(cat "$cache/boot.stamp" 2>/dev/null)" = "$stamp" ] && [ -f "$cache/vmlinuz" ] && [ -f "$cache/initrd.gz" ]; then
  echo "$cache"
  exit 0
fi

work=$(mktemp -d "$cache/.build-XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "guest: building the kernel and initramfs ($kernel_pkg $kernel_version)" >&2
(cd "$work" && apt-get download "$kernel_pkg" >/dev/null 2>&1) || {
  apt-get update -qq
  (cd "$work" && apt-get download "$kernel_pkg" >/dev/null)
}
dpkg-deb -x "$work"/"$kernel_pkg"_*.deb "$work/kernel"
release=${kernel_pkg#linux-image-}
modules=$work/kernel/lib/modules/$release/kernel

# The drivers to load, each after what it depends on (from the modules' own "depends=").
declare -A path_of loaded
while IFS= read -r ko; do
  name=$(basename "$ko" .ko)
  path_of[${name//-/_}]=$ko
done < <(find "$modules" -name '*.ko')
order=()
add() {
  local name=${1//-/_} dep deps
  [ -n "${loaded[$name]:-}" ] && return
  [ -n "${path_of[$name]:-}" ] || { echo "guest: module $name not in $kernel_pkg" >&2; exit 1; }
  deps=$(grep -a -o 'depends=[^[:cntrl:]]*' "${path_of[$name]}" | head -1 | cut -d= -f2)
  for dep in ${deps//,/ }; do add "$dep"; done
  loaded[$name]=1
  order+=("$name")
}
for m in virtio_pci 9pnet_virtio 9p overlay; do add "$m"; done

root=$work/initramfs
mkdir -p "$root"/{bin,dev,proc,sys,modules,host,layer,newroot}
cp /bin/busybox "$root/bin/busybox"
for m in "${order[@]}"; do cp "${path_of[$m]}" "$root/modules/$m.ko"; done
printf '%s\n' "${order[@]}" > "$root/modules/order"
install -m 755 "$here/initramfs-init" "$root/init"
(cd "$root" && find . | busybox cpio -o -H newc 2>/dev/null) | gzip -1 > "$work/initrd.gz"

mv -f "$work/initrd.gz" "$cache/initrd.gz"
mv -f "$work/kernel/boot/vmlinuz-$release" "$cache/vmlinuz"
echo "$stamp" > "$cache/boot.stamp"
echo "$cache"

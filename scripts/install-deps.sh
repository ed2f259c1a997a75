#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, skipping what is present.
# Usage: scripts/install-deps.sh [build|test|guest]   (test also brings Wine, Xvfb, fonts, clang
# and the static analysers; guest adds the emulator for machines that cannot run 32-bit code)
set -euo pipefail
what=${1:-test}

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

base=(cmake ninja-build g++ make pkg-config zlib1g-dev libgtest-dev
      g++-mingw-w64-i686 g++-mingw-w64-x86-64-win32 libz-mingw-w64-dev
      binutils-mingw-w64-i686 python3 python3-pytest python3-yaml libssl-dev libjpeg62-turbo-dev valgrind)
wine=(wine wine64 wine32:i386 xvfb xauth fonts-arphic-uming fonts-arphic-ukai
      imagemagick locales clang libclang-rt-14-dev clang-tidy cppcheck)

guest=(qemu-system-x86 busybox-static procps)

pkgs=("${base[@]}")
[ "$what" != build ] && pkgs+=("${wine[@]}")
[ "$what" = guest ] && pkgs+=("${guest[@]}")

if [ "$what" != build ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  updated=0
fi
for p in "${pkgs[@]}"; do have "$p" || need+=("$p"); done
[ ${#need[@]} -eq 0 ] && exit 0

echo "installing: ${need[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null

#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test both variants.
set -euo pipefail

packages=(cmake make g++ g++-multilib googletest libbenchmark-dev clang-14
  libclang-rt-14-dev libtinyobjloader-dev libcli11-dev nlohmann-json3-dev qemu-user)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [[ $(id -u) != 0 ]]; then SUDO=sudo; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Some kernels run no 32-bit x86 programs natively (no IA-32 emulation). Then
# the 32-bit variant's programs run through user-mode emulation, registered
# with the kernel so that they (and any child they start) run as usual.
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'int main(void){return 0;}' | gcc -m32 -x c - -o "$probe/probe32"
if ! "$probe/probe32" 2>/dev/null; then
  SUDO=""
  if [[ $(id -u) != 0 ]]; then SUDO=sudo; fi
  if [[ ! -e /proc/sys/fs/binfmt_misc/register ]]; then
    $SUDO mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  fi
  if [[ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]]; then
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386:" | $SUDO tee /proc/sys/fs/binfmt_misc/register >/dev/null
  fi
  "$probe/probe32" || { echo "cannot run 32-bit x86 programs on this machine" >&2; exit 1; }
fi

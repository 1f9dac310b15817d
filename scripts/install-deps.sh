#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
packages=(cmake ninja-build g++ make libgtest-dev libgmock-dev libbenchmark-dev binutils)
# The tools' packages, and the Python package's (Debian's Python and its modules).
for list in .ci/apt-packages-tools.txt .ci/apt-packages-python.txt; do
  if [ -f "$list" ]; then
    while read -r p; do [ -n "$p" ] && packages+=("$p"); done < "$list"
  fi
done
if [ "${WITH_CLANG:-0}" = 1 ]; then packages+=(clang); fi
# The Windows stage: mingw-w64 cross compilers, wine64 to run the 64-bit programs, and a 32-bit
# Linux build under qemu-i386 standing in for 32-bit Windows.
if [ "${WITH_WINDOWS:-0}" = 1 ]; then
  packages+=(mingw-w64 wine64 qemu-user gcc-multilib g++-multilib)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${missing[*]} (install them with apt-get as root)" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}"

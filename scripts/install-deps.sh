#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
packages=(cmake ninja-build g++ make libgtest-dev libgmock-dev libbenchmark-dev binutils)
if [ -f .ci/apt-packages-tools.txt ]; then
  while read -r p; do [ -n "$p" ] && packages+=("$p"); done < .ci/apt-packages-tools.txt
fi
if [ "${WITH_CLANG:-0}" = 1 ]; then packages+=(clang); fi
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

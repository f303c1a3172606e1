#!/usr/bin/env bash
# Installs the Debian packages the build needs, if any are missing. With "windows", the
# MinGW-w64 cross compiler, its zlib and Wine for the Windows step instead; with "farm", Slurm
# and munge for the farm step; with "glibc217", clang 14, lld and LLVM's static C++ runtime for
# the module built against glibc 2.17, and npm, which fetches that glibc's sysroot; with
# "stress", the load generator of the repeat mode.
set -euo pipefail

options=()

packages=(cmake ninja-build g++ clang llvm libclang-rt-14-dev libprotobuf-dev protobuf-compiler
  zlib1g-dev libgtest-dev libgmock-dev clang-format libfast-float-dev dpkg-dev
  libcairo2-dev libfontconfig-dev pkg-config fonts-dejavu-core)
if [ "${1:-}" = windows ]; then
  packages=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 dpkg-dev)
elif [ "${1:-}" = farm ]; then
  # Without Slurm's recommended plug-ins (accounting, energy, profiling): the farm uses none.
  packages=(slurmctld slurmd slurm-client munge iproute2 procps)
  options=(--no-install-recommends)
elif [ "${1:-}" = glibc217 ]; then
  packages=(clang-14 lld-14 libc++-14-dev libc++abi-14-dev libunwind-14-dev libclang-rt-14-dev
    xz-utils)
  # Node's own packages bring npm too; Debian's npm only where there is none.
  command -v npm >/dev/null || packages+=(npm)
elif [ "${1:-}" = stress ]; then
  packages=(stress-ng)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${options[@]}" "${missing[@]}" >/dev/null

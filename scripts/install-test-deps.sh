#!/usr/bin/env bash
# Installs, from Debian's packages, everything the whole test suite needs: the
# Linux build and its tests, the sanitizer and fuzzing builds (clang), the hostile
# runs (setpriv, a tmpfs mount), and the Windows build under Wine. Run as root.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
  cmake g++ make libgtest-dev bc util-linux bsdutils              # build, tests, pseudo-terminal, setpriv
  clang libclang-rt-14-dev                                          # fuzzing
  g++-mingw-w64-x86-64-posix wine wine64 xvfb xdotool x11-utils     # the Windows program under Wine
)
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update
  apt-get install -y --no-install-recommends -o DPkg::Lock::Timeout=300 "${missing[@]}"
fi

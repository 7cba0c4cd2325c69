#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks for building and testing.
set -euo pipefail
packages=(cmake ninja-build g++ g++-mingw-w64-x86-64 wine wine64 xvfb googletest
          openjdk-17-jdk-headless junit5 python3 clang libclang-rt-14-dev
          libtomlplusplus-dev libcli11-dev)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

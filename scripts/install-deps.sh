#!/usr/bin/env bash
# Installs what the build and the tests need from Debian's packages, when missing.
set -euo pipefail
packages=(build-essential cmake g++ googletest libgtest-dev libbenchmark-dev qt6-base-dev xvfb xauth)
# Grid positions to latitude and longitude for the preview's map.
packages+=(libgeographiclib-dev)
# The fuzz targets: clang with its libFuzzer and sanitizer runtimes.
packages+=(clang libclang-rt-14-dev)
# Install checks and the Debian package: the validators, man, dpkg-shlibdeps.
packages+=(desktop-file-utils appstream man-db dpkg-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

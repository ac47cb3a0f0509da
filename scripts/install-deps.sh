#!/usr/bin/env bash
# Installs the Debian packages Mivora builds with, when any is missing.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config python3
  libpixman-1-dev libfreetype-dev libfontconfig-dev fonts-liberation fonts-dejavu-core fonts-dejavu-extra libpng-dev libgif-dev libsdl2-dev
  libgtest-dev libbenchmark-dev g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-tools)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs the Debian packages Mivora builds with, when any is missing.
# With "wine", also what the Wine suite (ctest -L wine) runs with.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config python3
  libpixman-1-dev libfreetype-dev libfontconfig-dev fonts-liberation fonts-dejavu-core fonts-dejavu-extra libpng-dev libgif-dev libsdl2-dev
  libgtest-dev libbenchmark-dev g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-tools
  g++-mingw-w64-i686 binutils-mingw-w64-i686)
# Debian's wine64 alone has no "wine" command; xwd is in x11-apps; imagemagick's
# convert turns screenshots into PNGs for scripts/make-pictures.sh; fonts-wine holds the fonts Wine
# lays dialogs out with (the suite copies them into its prefix).
if [ "${1:-}" = wine ]; then packages+=(wine wine64 fonts-wine xvfb x11-apps xdotool imagemagick); fi
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

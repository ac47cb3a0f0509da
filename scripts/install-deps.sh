#!/usr/bin/env bash
# Installs the Debian packages Mivora builds with, when any is missing.
# With "wine", also what the Wine suite (ctest -L wine) runs with; with "x11", what the X11
# suite (ctest -L x11), the benchmark beside xsnow and make-pictures.sh run with.
# With "package", what scripts/package-debian.sh builds and checks the .deb with.
# Any of them may be given.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config python3
  libpixman-1-dev libfreetype-dev libfontconfig-dev fonts-liberation fonts-dejavu-core fonts-dejavu-extra libpng-dev libgif-dev libsdl2-dev
  libxcb1-dev libxcb-shape0-dev libxcb-keysyms1-dev
  libgtest-dev libbenchmark-dev g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-tools
  g++-mingw-w64-i686 binutils-mingw-w64-i686)
# Debian's wine64 alone has no "wine" command; xwd is in x11-apps; imagemagick's
# convert turns screenshots into PNGs for scripts/make-pictures.sh; fonts-wine holds the fonts Wine
# lays dialogs out with (the suite copies them into its prefix).
# xprop and xwininfo are in x11-utils, xsetroot in x11-xserver-utils.
for set in "$@"; do
  case "$set" in
    wine) packages+=(wine wine64 fonts-wine xvfb x11-apps xdotool imagemagick) ;;
    x11) packages+=(openbox trayer picom wmctrl xdotool x11-apps x11-utils x11-xserver-utils xvfb imagemagick xsnow) ;;
    # convert makes the icons; dpkg-dev has dpkg-shlibdeps.
    package) packages+=(imagemagick dpkg-dev lintian) ;;
    *) echo "install-deps.sh: unknown set '$set' (wine, x11, package)" >&2; exit 2 ;;
  esac
done
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

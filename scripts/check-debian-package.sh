#!/usr/bin/env bash
# Installs the package scripts/package-debian.sh built on this machine, runs
# the installed programs and the X11 suite's check of the installed mivora,
# then removes the package and checks that none of its files is left.
# Installing needs root (or sudo); CI runs it on a machine of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "check-debian-package.sh: $*" >&2; exit 1; }
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

version=$(sed -n 's/^project(mivora VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=dist/mivora_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb: run scripts/package-debian.sh first"

installed() { [ "$(dpkg-query -W -f='${Status}' mivora 2>/dev/null)" = "install ok installed" ]; }
# Whatever fails on the way, the package does not stay behind.
trap 'if installed; then $sudo apt-get remove -y -qq mivora >/dev/null || true; fi' EXIT

echo "== apt-get install ./$deb"
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "./$deb"
installed || fail "mivora is not installed after apt-get install"
files=$(dpkg -L mivora)
echo "== dpkg -L mivora"
echo "$files"

echo "== the installed programs"
if [ -e /usr/bin/mivora ]; then
  /usr/bin/mivora --version
  /usr/bin/mivora --version | grep -qF "$version" || fail "/usr/bin/mivora --version does not say $version"
  no_tests=error
else
  echo "the package holds no /usr/bin/mivora: its --version and the X11 check are skipped"
  no_tests=ignore
fi
/usr/bin/mivora-desktop --version
/usr/bin/mivora-record --version
# The installed recorder draws its frames with the fonts and libraries the package depends on.
scratch=$(mktemp -d)
/usr/bin/mivora-record --seconds 2 --quiet --show-dialog --gif "$scratch/petals.gif"
rm -rf "$scratch"

echo "== the X11 suite's check of the installed program"
# With the X11 program in the package, its check must be there and pass.
MIVORA_X11_PROGRAM=/usr/bin/mivora ctest --test-dir build -L x11-installed --output-on-failure --no-tests=$no_tests ||
  fail "the X11 suite's check (CTest label x11-installed) of /usr/bin/mivora failed or is missing"

# Before removing it: which of its folders the package alone owns, and so must take away.
own_folders=()
while read -r path; do
  if [ ! -d "$path" ] || [ -L "$path" ]; then continue; fi
  [ "$(dpkg-query -S "$path" 2>/dev/null | sed 's/: .*//')" = mivora ] && own_folders+=("$path")
done <<<"$files"

echo "== apt-get remove mivora"
DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq mivora
status=$(dpkg-query -W -f='${Status}' mivora 2>/dev/null || true)
case "$status" in
  "" | *not-installed) ;;
  *) fail "after apt-get remove, dpkg still knows mivora as '$status'" ;;
esac
left=()
while read -r path; do
  [ -d "$path" ] && [ ! -L "$path" ] && continue
  if [ -e "$path" ] || [ -L "$path" ]; then left+=("$path"); fi
done <<<"$files"
for path in "${own_folders[@]}"; do [ -e "$path" ] && left+=("$path/"); done
[ ${#left[@]} -eq 0 ] || fail "left behind after apt-get remove: ${left[*]}"
echo "removed: none of the package's $(wc -l <<<"$files") paths is left, and its own folders are gone: ${own_folders[*]}"

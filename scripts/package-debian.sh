#!/usr/bin/env bash
# Builds the native tree and packs what "cmake --install" puts in /usr into
# dist/mivora_VERSION_ARCH.deb: the programs, their manual pages, the menu
# entry and icons, the copyright file and the changelog. Then lintian checks
# the package, and any error it reports fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "package-debian.sh: $*" >&2; exit 1; }

version=$(sed -n 's/^project(mivora VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no version in CMakeLists.txt"
# The changelog's top entry is the release being packed.
changelog_version=$(sed -n '1s/^mivora (\([^)]*\)).*/\1/p' packaging/debian/changelog)
[ "$changelog_version" = "$version" ] ||
  fail "packaging/debian/changelog starts with version '$changelog_version', the project is $version: add an entry for $version"
for tool in dpkg-deb dpkg-shlibdeps lintian; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh package installs it)"
done
arch=$(dpkg --print-architecture)

scripts/build.sh
# The X11 program is in the package whenever this build has it.
has_x11_program=no
cmake --build build --target help | grep -q '^mivora: ' && has_x11_program=yes

work=build/deb
root=$work/mivora_${version}_$arch
rm -rf "$work"
mkdir -p "$root/DEBIAN" dist
DESTDIR="$PWD/$root" cmake --install build --prefix /usr >/dev/null

# What the package must hold.
required=(usr/bin/mivora-record usr/bin/mivora-desktop usr/share/man/man1/mivora-record.1
  usr/share/man/man1/mivora-desktop.1 usr/share/doc/mivora/copyright)
if [ "$has_x11_program" = yes ]; then
  required+=(usr/bin/mivora usr/share/man/man1/mivora.1 usr/share/applications/mivora.desktop)
else
  echo "package-debian.sh: this build has no X11 program (target mivora): the package holds the other two programs only"
fi
for size in 16 32 48 64 128 256; do required+=("usr/share/icons/hicolor/${size}x$size/apps/mivora.png"); done
for file in "${required[@]}"; do
  [ -e "$root/$file" ] || fail "the install has no /$file (is ImageMagick there for the icons, SDL2 for mivora-desktop?)"
done

# As the Debian tools leave them: programs stripped of symbols and build
# notes, manual pages and the changelog compressed without a time stamp.
for program in "$root"/usr/bin/*; do
  strip --remove-section=.comment --remove-section=.note --strip-unneeded "$program"
done
gzip -9n "$root"/usr/share/man/man1/*.1
gzip -9n -c packaging/debian/changelog >"$root/usr/share/doc/mivora/changelog.gz"
find "$root" -type d -exec chmod 0755 {} +
find "$root/usr" -type f -exec chmod 0644 {} +
chmod 0755 "$root"/usr/bin/*

# The libraries the programs link to, as the Debian tools name their packages.
mkdir -p "$work/shlibs/debian"
printf 'Source: mivora\n\nPackage: mivora\nArchitecture: any\n' >"$work/shlibs/debian/control"
programs=()
for program in "$root"/usr/bin/*; do programs+=("-e$PWD/$program"); done
shlibs=$(cd "$work/shlibs" && dpkg-shlibdeps -O "${programs[@]}" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[ -n "$shlibs" ] || fail "dpkg-shlibdeps found no libraries for the programs"
# The dialog face and the metric stand-ins for the Windows fonts the program names.
depends="$shlibs, fonts-dejavu-core, fonts-dejavu-extra, fonts-liberation"

if [ "$has_x11_program" = yes ]; then
  holds=" This package holds mivora, which decorates the desktop of an X11
 session and keeps its blossom icon in the panel's notification area;
 mivora-desktop, which shows Mivora on a virtual desktop in a window; and
 mivora-record, which records it into an animated GIF without a display."
else
  holds=" This package holds mivora-desktop, which shows Mivora on a virtual
 desktop in a window, and mivora-record, which records it into an animated
 GIF without a display."
fi
installed_size=$(du -sk --apparent-size "$root/usr" | cut -f1)
cat >"$root/DEBIAN/control" <<EOF
Package: mivora
Version: $version
Architecture: $arch
Maintainer: Mivora developers <dev@mivora.invalid>
Installed-Size: $installed_size
Depends: $depends
Section: x11
Priority: optional
Description: desktop ornament: petals fall from a flowering branch
 Mivora is a desktop ornament. A flowering branch hangs from the top of the
 screen; its petals break away, drift down in gusts of wind, settle on the
 top edges of the windows and at the bottom of the screen, and pile up
 there. Move a window and its pile vanishes with it.
 .
$holds
EOF
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

# Every file dated at the release, so that the same sources give the same package.
release_date=$(sed -n '0,/^ -- /s/^ -- .*>  //p' packaging/debian/changelog)
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(date -d "$release_date" +%s)
find "$root" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

deb=dist/mivora_${version}_$arch.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "$deb: $(stat -c %s "$deb") bytes"
echo "Depends: $depends"
echo "lintian $deb:"
lintian --fail-on error --display-info "$deb" || fail "lintian reports errors in $deb"
echo "lintian: no errors"

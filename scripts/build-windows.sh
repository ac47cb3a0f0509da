#!/usr/bin/env bash
# Cross-compiles the Windows executables: build-win/mivora.exe (64-bit) and
# build-win32/mivora.exe (32-bit). With "64" or "32" only that one.
set -euo pipefail
cd "$(dirname "$0")/.."
build() {
  local dir=$1 toolchain=$2
  cmake -S . -B "$dir" -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    ${MIVORA_CMAKE_ARGS:-} >/dev/null
  cmake --build "$dir" -j2
  echo "Windows executable: $(pwd)/$dir/mivora.exe"
}
case "${1:-both}" in
  64) build build-win cmake/mingw-w64.cmake ;;
  32) build build-win32 cmake/mingw-w64-i686.cmake ;;
  both) build build-win cmake/mingw-w64.cmake; build build-win32 cmake/mingw-w64-i686.cmake ;;
  *) echo "usage: $0 [64|32|both]" >&2; exit 2 ;;
esac

#!/usr/bin/env bash
# Cross-compiles the Windows executable: build-win/mivora.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
  ${MIVORA_CMAKE_ARGS:-} >/dev/null
cmake --build build-win -j2
echo "Windows executable: $(pwd)/build-win/mivora.exe"

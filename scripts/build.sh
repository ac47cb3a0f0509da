#!/usr/bin/env bash
# Configures and builds the native tree in build/ (programs, tests, benchmark).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${MIVORA_CMAKE_ARGS:-} >/dev/null
cmake --build build -j2 "$@"

#!/usr/bin/env bash
# Builds the tests with the address and undefined-behaviour sanitizers in build-asan/ and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMIVORA_SANITIZE=ON ${MIVORA_CMAKE_ARGS:-} >/dev/null
cmake --build build-asan -j2 --target mivora_tests
# fontconfig keeps its caches until exit by design; leaks are not what this run looks for.
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j2 -LE "wine|x11" "$@"

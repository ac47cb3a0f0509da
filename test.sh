#!/usr/bin/env bash
# Builds Mivora and runs its whole test suite.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
ctest --test-dir build --output-on-failure -j2 "$@"

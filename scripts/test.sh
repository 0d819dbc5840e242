#!/usr/bin/env bash
# Installs what is missing, builds the application and its tests, and runs
# every test. BUILD_DIR and CMAKE_ARGS may be set to build a variant.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR="${BUILD_DIR:-build}"
JOBS="${JOBS:-$(nproc)}"
cmake -S . -B "$BUILD_DIR" -G Ninja ${CMAKE_ARGS:-} >/dev/null
ninja -C "$BUILD_DIR" -j "$JOBS"
cd "$BUILD_DIR"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "${TEST_JOBS:-$JOBS}" ${CTEST_ARGS:-}

#!/usr/bin/env bash
# Load run of a live AHRS page: a pty device streams AHRS frames at 1000/s
# for 60 s while the device worker and the page (offscreen) run in the
# measured process; prints CPU use, peak and final memory and the repaint
# rates. PAGE is "ahrs" (the AHRS data page) or "instrument" (the
# instrument panel, with the AHRS data page behind it).
#   scripts/perf_ahrs.sh [build-dir] [seconds] [frames-per-second] [page]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
SECONDS_TO_RUN=${2:-60}
RATE=${3:-1000}
PAGE=${4:-ahrs}
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
ninja -C "$BUILD" bench_ahrs_stream >/dev/null
BIN=$(find "$BUILD" -name bench_ahrs_stream -type f -perm -u+x | head -1)
QT_QPA_PLATFORM=offscreen "$BIN" "$SECONDS_TO_RUN" "$RATE" "$PAGE"

#!/usr/bin/env bash
# Sets up, builds everything and runs every test headless, ending with CTest's summary.
# SANITIZE=address,undefined runs the suite in a sanitizer build (folder build-sanitize).
set -euo pipefail
cd "$(dirname "$0")/.."
# Warnings are errors here (and in CI), not in a plain build.
extra=(-DQUILLET_WERROR=ON)
ctest_extra=()
if [ -n "${SANITIZE:-}" ]; then
  export BUILD_DIR="${BUILD_DIR:-build-sanitize}"
  extra+=("-DQUILLET_SANITIZE=${SANITIZE}" "-DQUILLET_BENCH=OFF")
  export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
  export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
  # The fuzz targets carry their own sanitizers; the plain run covers them.
  ctest_extra+=(--label-exclude fuzz)
fi
scripts/setup.sh "${extra[@]}"
BUILD_DIR="${BUILD_DIR:-build}"
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
ctest --test-dir "$BUILD_DIR" --output-on-failure --parallel "$(nproc)" "${ctest_extra[@]}"

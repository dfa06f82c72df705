#!/usr/bin/env bash
# Sets up, builds and starts the player. Without a display it starts on a virtual one (Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --run -DQUILLET_TESTS=OFF -DQUILLET_BENCH=OFF
BUILD_DIR="${BUILD_DIR:-build}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting Quillet on a virtual X display (Xvfb)."
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$BUILD_DIR/src/quillet"
fi
exec "$BUILD_DIR/src/quillet"

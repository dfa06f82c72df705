#!/usr/bin/env bash
# Installs what Quillet needs on Debian 12 (only what is missing), then configures and builds.
# Usage: scripts/setup.sh [extra cmake arguments]
# BUILD_DIR (default: build) picks the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-qpa-plugins
  libmpg123-dev libsndfile1-dev libsdl2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils trayer fonts-arphic-ukai
  lame sox
  dbus-daemon dbus-bin playerctl
  clang libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

BUILD_DIR="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@"
cmake --build "$BUILD_DIR" --parallel "$(nproc)"

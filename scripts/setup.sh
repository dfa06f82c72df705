#!/usr/bin/env bash
# Installs what Quillet needs on Debian 12 (only what is missing), then configures and builds.
# Usage: scripts/setup.sh [--run] [extra cmake arguments]
# --run installs only what building and running need; without it, the test, packaging and fuzz
# tools too. BUILD_DIR (default: build) picks the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

# Building and running (Xvfb stands in for a missing display; the Chinese texts of the toolkit
# and the Kai face are needed at run time).
PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-qpa-plugins qt6-translations-l10n
  libmpg123-dev libsndfile1-dev libsdl2-dev libpulse-dev libtag1-dev
  xvfb xauth fonts-arphic-ukai
)
if [ "${1:-}" = "--run" ]; then
  shift
else
  # Tests (a real X display with a tray host, generated audio, a private session bus, the
  # desktop-entry and metainfo validators, the .deb tools and its checker, the manual page
  # reader), benchmarks and fuzzing.
  PACKAGES+=(
    libgtest-dev libgmock-dev libbenchmark-dev
    x11-utils trayer lame sox ffmpeg python3-mutagen id3v2 flac vorbis-tools
    # the desktop lyric bar on X: a window manager, real clicks, the accessibility bus
    openbox xdotool at-spi2-core python3-pyatspi
    dbus-daemon dbus-bin playerctl pulseaudio pulseaudio-utils mpv
    desktop-file-utils appstream dpkg-dev file lintian man-db groff-base
    clang libclang-rt-14-dev
  )
fi

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

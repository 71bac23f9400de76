#!/usr/bin/env bash
# Installs every Debian package the project builds, tests or runs with.
# Does nothing when all of them are present; works as root or through sudo.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config ccache clang clang-format libclang-rt-14-dev
  # Qt 6 (Widgets, Network, PrintSupport, DBus, Test) and its offscreen/xcb platforms
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  # images and metadata
  libgraphicsmagick++1-dev graphicsmagick libturbojpeg0-dev libjpeg-turbo-progs
  libopenjp2-7-dev libhdf4-dev libexiv2-dev libexif-dev liblcms2-dev
  # the formats plug-in: HEIF/AVIF, WebP, JPEG XL, camera RAW, and the encoders its tests use
  libheif-dev libwebp-dev libjxl-dev libraw-dev libheif-examples webp libjxl-tools
  # archives, movies, scanners, cameras, devices
  libzip-dev libavformat-dev libavcodec-dev libavutil-dev libswscale-dev ffmpeg
  libsane-dev sane-utils libgphoto2-dev libudev-dev
  # desktop integration
  xdg-utils desktop-file-utils
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev xvfb xdotool x11-utils xauth
  # peers the thumbnail benchmark compares with
  libvips-tools
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "install-deps: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"

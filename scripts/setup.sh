#!/usr/bin/env bash
# Shared set-up for ./run and ./test: installs the Debian packages the build
# needs (only the missing ones), then configures and builds into build/.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

packages=(
  cmake ninja-build g++ pkg-config python3
  libmagickwand-6.q16-dev imagemagick
  libgtest-dev libjpeg-dev
  libwebp-dev libheif-dev libheif-examples
  qt6-base-dev libgl-dev qt6-translations-l10n
  libmspack-dev mscompress
  desktop-file-utils xdg-utils
)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  echo "Installation des paquets manquants : ${missing[*]}" >&2
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

build() {
  local dir=${1:-$top/build}; shift || true
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >&2
  fi
  cmake --build "$dir" >&2
}

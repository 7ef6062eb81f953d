#!/usr/bin/env bash
# Shared set-up for ./run and ./test: installs the Debian packages the build
# needs (only the missing ones), then configures and builds into build/.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

packages=(
  cmake ninja-build g++ pkg-config python3
  libmagickwand-6.q16-dev imagemagick
  libgtest-dev libjpeg-dev libpng-dev liblcms2-dev zlib1g-dev libimage-exiftool-perl
  libwebp-dev libheif-dev libheif-examples libtiff-dev libisal-dev
  qt6-base-dev libgl-dev qt6-translations-l10n
  libmspack-dev mscompress libexiv2-dev libzip-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev ffmpeg
  desktop-file-utils xdg-utils
  dpkg-dev lintian appstream man-db bash-completion
  default-jre-headless nodejs npm chromium
)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    # Node.js from another source (with its own npm) will do.
    case $p in
      nodejs) command -v node >/dev/null && continue ;;
      npm) command -v npm >/dev/null && continue ;;
    esac
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  echo "Installation des paquets manquants : ${missing[*]}" >&2
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

# The HTML and accessibility checkers of the modern page's test (npm
# packages, the browser they drive being Debian's Chromium): into
# /opt/lumigal-web-checkers as root, else into the build tree. Nothing is
# fetched once they are there.
web_checkers_dir() {
  if [ "$(id -u)" -eq 0 ]; then echo /opt/lumigal-web-checkers; else echo "${1:-$top/build}/web-checkers"; fi
}

install_web_checkers() {
  local dir
  dir=$(web_checkers_dir "${1:-}")
  [ -f "$dir/node_modules/vnu-jar/build/dist/vnu.jar" ] && [ -x "$dir/node_modules/.bin/pa11y" ] && return 0
  command -v npm >/dev/null || return 0
  echo "Installation des vérificateurs HTML et d'accessibilité dans $dir" >&2
  mkdir -p "$dir"
  PUPPETEER_SKIP_DOWNLOAD=1 npm install --prefix "$dir" --no-audit --no-fund --silent \
    vnu-jar@26.10.12 pa11y@8.0.0 >&2
}

build() {
  local dir=${1:-$top/build}; shift || true
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >&2
  fi
  cmake --build "$dir" >&2
}

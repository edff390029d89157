#!/usr/bin/env bash
# Installs the Debian packages the project needs (only those missing) and
# configures and builds it. Sourced by run.sh and test.sh.
set -euo pipefail

LUMI_PACKAGES=(
  cmake ninja-build g++ clang pkg-config ccache
  qt6-base-dev qt6-image-formats-plugins libgl-dev
  libjpeg62-turbo-dev libuemf-dev libfontconfig-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation2 fonts-dejavu-core fonts-noto-cjk qt6-translations-l10n
  poppler-utils
  exfat-fuse exfatprogs fuse3 bindfs
  libreoffice-writer-nogui libreoffice-draw-nogui
)

lumi_install_packages() {
  local missing=()
  for p in "${LUMI_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

lumi_build() {
  local dir="$1"; shift
  cmake -S "$LUMI_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@"
  cmake --build "$dir" --parallel "$(nproc)"
}

LUMI_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

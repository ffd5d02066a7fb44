#!/usr/bin/env bash
# Installs the Debian packages Lorvek needs to build and test, only when some
# are missing. Quiet when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-dev
  libuchardet-dev libgsf-1-dev libarchive-dev arj libxml2-dev libpoppler-cpp-dev
  qt6-base-dev libqscintilla2-qt6-dev libgl-dev qt6-translations-l10n
  fonts-ipafont-gothic xvfb xauth time desktop-file-utils dpkg-dev poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}" >&2
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

#!/usr/bin/env bash
# Installs the Debian 12 packages the program and its tests need, when missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  nettle-dev
  libgtest-dev libbenchmark-dev
  python3 python3-xlrd python3-msoffcrypto-tool
  poppler-utils fonts-dejavu-core
  qt6-translations-l10n
  clang libclang-rt-14-dev clang-format ccache
  libcups2-dev cups printer-driver-cups-pdf
  dpkg-dev file lintian desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installo i pacchetti mancanti: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

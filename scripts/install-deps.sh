#!/usr/bin/env bash
# Installs the Debian packages Karto view needs to build, run and test.
# Idempotent: packages already present are skipped; nothing is done when all are there.
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  zlib1g-dev libfreetype-dev libfontconfig-dev
  fonts-liberation fonts-liberation2
  libgtest-dev
  clang libclang-rt-14-dev
  python3 python3-dbfread python3-openpyxl python3-xlrd
  qt6-translations-l10n
  poppler-utils unzip shared-mime-info desktop-file-utils libglib2.0-bin
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

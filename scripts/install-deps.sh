#!/usr/bin/env bash
# Installs, with apt-get, only the Debian packages that are missing, the ones named on the command
# line too. Safe to run again and again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  zlib1g-dev libsqlite3-dev qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev libvips-dev
  media-types curl python3
  unzip p7zip-full libarchive-tools chromium nodejs
  # A slowloris attack from a tool nobody here wrote, which the flood tests survive.
  slowhttptest
)
# npm comes with the nodejs of NodeSource; Debian's own nodejs needs the separate package.
command -v npm >/dev/null 2>&1 || packages+=(npm)
# Callers add what only they need (make bench: the servers and load tools it compares with).
packages+=("$@")

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi

echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs, with apt-get, only the Debian packages that are missing, the ones named on the command
# line too. Safe to run again and again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  zlib1g-dev libsqlite3-dev qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev libvips-dev
  media-types curl python3
  unzip p7zip-full libarchive-tools chromium nodejs
  # The desktop entries' tests check them with desktop-file-validate; rsvg-convert renders the icon's
  # PNG sizes for make install; make package needs dpkg-shlibdeps (dpkg-dev) and file.
  desktop-file-utils librsvg2-bin dpkg-dev file
  # The window draws its own SVG pictures (qt6-svg-dev) and the QR code of the site's address
  # (libqrencode-dev); its screenshot gallery and start-up test run under Xvfb (xvfb, xauth, and
  # xwininfo of x11-utils to find the window).
  qt6-svg-dev libqrencode-dev xvfb xauth x11-utils
  # The QR code's test reads the picture back with zbarimg.
  zbar-tools
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

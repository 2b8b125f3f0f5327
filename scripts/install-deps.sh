#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Safe to run again: when everything
# is already present it only checks and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libgcrypt20-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  libz-mingw-w64-dev libgcrypt-mingw-w64-dev libgpg-error-mingw-w64-dev
  wine wine64 wine32:i386
  xvfb x11-apps x11-utils xdotool imagemagick
  msitools wixl
  zip unzip 7zip
)

missing=()
have_i386=0
dpkg --print-foreign-architectures | grep -qx i386 && have_i386=1
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && [ $have_i386 -eq 1 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
if [ $have_i386 -eq 0 ]; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

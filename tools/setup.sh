#!/usr/bin/env bash
# Installs the Debian packages Quorvel needs to build, test and run, when
# they are missing. Safe to run again: it installs nothing that is present.
set -euo pipefail

packages=(
  build-essential cmake clang-format dpkg-dev desktop-file-utils
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation
  xvfb x11-utils xdotool imagemagick faketime
  weston qt6-wayland
  python3 tzdata
  # Access lists: libacl for the save, and setfacl, useradd and setpriv for
  # the tests that save among real users.
  libacl1-dev acl passwd util-linux
  # PNG pictures; PIL makes pictures in its own BMP and PNG layouts for the
  # readers' tests, besides ImageMagick.
  libspng-dev pkg-config python3-pil
  # What a screen reader gets (tests/accessibility_test.py): AT-SPI from Python
  # on a D-Bus session of the test's own.
  python3-gi gir1.2-atspi-2.0 at-spi2-core dbus-daemon
)
# The cross build for Windows and its tests under Wine (make windows):
# MinGW-w64 with POSIX threads, zlib built for it, GoogleTest's sources to
# build for it, Wine (64-bit alone is enough), NSIS for the installer, zip,
# binutils' objdump to find the DLLs a program imports, and xclip to read
# what the window under Wine copies.
windows_packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libz-mingw-w64-dev googletest wine wine64 nsis zip unzip xz-utils xclip
)
# Extra packages for a caller's own needs (CI, benchmarks), as arguments;
# --windows adds the ones above.
for arg in "$@"; do
  case "$arg" in
    --windows) packages+=("${windows_packages[@]}") ;;
    *) packages+=("$arg") ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

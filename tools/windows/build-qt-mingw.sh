#!/usr/bin/env bash
# Rebuilds the cross-built Qt for Windows that `make windows` unpacks, for
# when ../shared/windows/qt6-mingw.tar.xz is missing: Qt 6 base (Core, Gui,
# Widgets, Test) as DLLs for 64-bit Windows, built with Debian's MinGW-w64
# from Debian's own source package of the host's Qt version (so that the
# host's moc, rcc and uic match it), packed as qt6-mingw.tar.xz.
#
# About an hour on 2 cores; never run in CI. Then:
#   QT_MINGW_ARCHIVE=WORK/qt6-mingw.tar.xz make windows
#
# Usage: tools/windows/build-qt-mingw.sh [WORK_FOLDER]   (default /tmp/qt6-mingw-build)
# Left out: SQL, network, D-Bus, OpenGL, print support, XML, Vulkan, the
# JPEG/GIF/ICO image plug-ins, FreeType (Windows draws text with its own
# engines) and tablet events (Debian's source leaves out the tablet
# vendor's header). Built in: Qt's bundled zlib, libpng, PCRE2, HarfBuzz and
# double-conversion.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(realpath -m "${1:-/tmp/qt6-mingw-build}")
prefix=$work/qt6-mingw
mkdir -p "$work"

"$here/../setup.sh" --windows dpkg-dev ninja-build

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
# Source packages come from the same archive as the binary ones.
if ! apt-get source --print-uris qt6-base >/dev/null 2>&1; then
  src=/etc/apt/sources.list.d/quorvel-deb-src.sources
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
    "${sudo[@]}" tee "$src" >/dev/null
  "${sudo[@]}" apt-get update -q >/dev/null
fi
host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
host_version=${host_version%+b[0-9]*}  # a binary-only rebuild has no source of its own
cd "$work"
if [ ! -d qtbase-src ]; then
  apt-get source --download-only "qt6-base=$host_version" >/dev/null
  mkdir qtbase-src
  tar -xJf qt6-base_*.orig.tar.xz -C qtbase-src --strip-components=1
  # Qt 6.4's Windows plugin reaches for OpenGL under dynamicgl even when
  # OpenGL is off; guard those lines by both features.
  sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
    qtbase-src/src/plugins/platforms/windows/qwindowswindow.cpp
fi

cat >mingw.cmake <<'TC'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TC

cmake -S qtbase-src -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/mingw.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DBUILD_SHARED_LIBS=ON \
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF \
  -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF \
  -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_ico=OFF -DFEATURE_freetype=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_pcre2=OFF \
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_doubleconversion=OFF \
  -DFEATURE_testlib=ON -DFEATURE_widgets=ON \
  -DFEATURE_tabletevent=OFF >configure.log
cmake --build build --parallel "$(nproc)"
rm -rf "$prefix"
cmake --install build >/dev/null
tar -C "$work" -cJf "$work/qt6-mingw.tar.xz" qt6-mingw
echo "$work/qt6-mingw.tar.xz"

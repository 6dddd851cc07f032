#!/usr/bin/env bash
# Unpacks what the Windows build needs from ../shared/windows/ into a build
# folder, once each: the cross-built Qt (qt6-mingw.tar.xz, or the archive
# QT_MINGW_ARCHIVE names) and the static libspng (spng-mingw.tar.xz, or
# SPNG_MINGW_ARCHIVE). An archive already unpacked from the same file is
# left as it is.
#
# Usage: tools/windows/unpack.sh BUILD_FOLDER   (gives BUILD_FOLDER/qt6-mingw and spng-mingw)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
shared=$(cd "$here/../.." && pwd)/../shared/windows
build=${1:?usage: unpack.sh BUILD_FOLDER}

# unpack NAME ARCHIVE MUST_HAVE: ARCHIVE's NAME/ folder into the build folder.
unpack() {
  local name=$1 archive=$2 must_have=$3
  local stamp="$build/$name/.unpacked-from" want
  want="$(realpath "$archive") $(stat -c '%s %Y' "$archive")"
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
    return
  fi
  echo "Unpacking $archive into $build/$name"
  rm -rf "${build:?}/$name" "$build/$name.tmp"
  mkdir -p "$build/$name.tmp"
  tar -xJf "$archive" -C "$build/$name.tmp"
  [ -e "$build/$name.tmp/$name/$must_have" ] || {
    echo "unpack: $archive holds no $name/$must_have" >&2
    exit 1
  }
  mv "$build/$name.tmp/$name" "$build/$name"
  rmdir "$build/$name.tmp"
  echo "$want" >"$stamp"
}

qt=${QT_MINGW_ARCHIVE:-$shared/qt6-mingw.tar.xz}
if [ ! -f "$qt" ]; then
  cat >&2 <<MSG
unpack: no cross-built Qt at $qt.
Build it from Debian's qt6-base source (about an hour on 2 cores):
  tools/windows/build-qt-mingw.sh /tmp/qt6-mingw-build
then run again with QT_MINGW_ARCHIVE=/tmp/qt6-mingw-build/qt6-mingw.tar.xz
(or copy that archive to $qt).
MSG
  exit 1
fi
spng=${SPNG_MINGW_ARCHIVE:-$shared/spng-mingw.tar.xz}
if [ ! -f "$spng" ]; then
  echo "unpack: no libspng for Windows at $spng (SPNG_MINGW_ARCHIVE names another)." >&2
  exit 1
fi
unpack qt6-mingw "$qt" lib/cmake/Qt6
unpack spng-mingw "$spng" lib/libspng.a

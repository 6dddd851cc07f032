#!/usr/bin/env bash
# Unpacks the cross-built Qt for Windows into a build folder, once: the
# archive is ../shared/windows/qt6-mingw.tar.xz beside the repository unless
# QT_MINGW_ARCHIVE names another. Where it is missing, says how to make it.
#
# Usage: tools/windows/unpack-qt.sh BUILD_FOLDER   (gives BUILD_FOLDER/qt6-mingw)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${1:?usage: unpack-qt.sh BUILD_FOLDER}
archive=${QT_MINGW_ARCHIVE:-$repo/../shared/windows/qt6-mingw.tar.xz}

if [ ! -f "$archive" ]; then
  cat >&2 <<MSG
unpack-qt: no cross-built Qt at $archive.
Build it from Debian's qt6-base source (about an hour on 2 cores):
  tools/windows/build-qt-mingw.sh /tmp/qt6-mingw-build
then run again with QT_MINGW_ARCHIVE=/tmp/qt6-mingw-build/qt6-mingw.tar.xz
(or copy that archive to $archive).
MSG
  exit 1
fi

mkdir -p "$build"
stamp="$build/qt6-mingw/.unpacked-from"
want="$(realpath "$archive") $(stat -c '%s %Y' "$archive")"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
  exit 0
fi
echo "Unpacking $archive into $build/qt6-mingw"
rm -rf "$build/qt6-mingw" "$build/qt6-mingw.tmp"
mkdir "$build/qt6-mingw.tmp"
tar -xJf "$archive" -C "$build/qt6-mingw.tmp"
[ -d "$build/qt6-mingw.tmp/qt6-mingw/lib/cmake/Qt6" ] || {
  echo "unpack-qt: $archive holds no qt6-mingw/lib/cmake/Qt6" >&2
  exit 1
}
mv "$build/qt6-mingw.tmp/qt6-mingw" "$build/qt6-mingw"
rmdir "$build/qt6-mingw.tmp"
echo "$want" >"$stamp"

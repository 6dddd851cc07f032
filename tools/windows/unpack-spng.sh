#!/usr/bin/env bash
# Unpacks the static libspng for Windows into a build folder, once, as
# unpack-qt.sh unpacks Qt: the archive is ../shared/windows/spng-mingw.tar.xz
# beside the repository unless SPNG_MINGW_ARCHIVE names another.
#
# Usage: tools/windows/unpack-spng.sh BUILD_FOLDER   (gives BUILD_FOLDER/spng-mingw)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${1:?usage: unpack-spng.sh BUILD_FOLDER}
archive=${SPNG_MINGW_ARCHIVE:-$repo/../shared/windows/spng-mingw.tar.xz}

if [ ! -f "$archive" ]; then
  echo "unpack-spng: no libspng for Windows at $archive (SPNG_MINGW_ARCHIVE names another)." >&2
  exit 1
fi

mkdir -p "$build"
stamp="$build/spng-mingw/.unpacked-from"
want="$(realpath "$archive") $(stat -c '%s %Y' "$archive")"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
  exit 0
fi
echo "Unpacking $archive into $build/spng-mingw"
rm -rf "$build/spng-mingw" "$build/spng-mingw.tmp"
mkdir "$build/spng-mingw.tmp"
tar -xJf "$archive" -C "$build/spng-mingw.tmp"
[ -f "$build/spng-mingw.tmp/spng-mingw/lib/libspng.a" ] || {
  echo "unpack-spng: $archive holds no spng-mingw/lib/libspng.a" >&2
  exit 1
}
mv "$build/spng-mingw.tmp/spng-mingw" "$build/spng-mingw"
rmdir "$build/spng-mingw.tmp"
echo "$want" >"$stamp"

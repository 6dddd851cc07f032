#!/usr/bin/env bash
# Packs the Windows build: both programs with every DLL they load
# (deploy.sh) and the licence, as quorvel-VERSION-windows-x64.zip, and the
# same files as an NSIS installer, quorvel-VERSION-setup.exe (cmake/quorvel.nsi),
# both in the build folder.
#
# Usage: tools/windows/package.sh BUILD_DIR VERSION QT_DIR QUORVEL.EXE QUORVEL-STRIP.EXE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
[ $# -eq 5 ] || { echo "usage: package.sh BUILD_DIR VERSION QT_DIR QUORVEL.EXE QUORVEL-STRIP.EXE" >&2; exit 2; }
build=$(realpath "$1")
version=$2
qt=$3
programs=("$4" "$5")
name=quorvel-$version
work=$build/package
stage=$work/$name
zip=$build/$name-windows-x64.zip
setup=$build/$name-setup.exe
# The same build of a commit gives the same bytes, whatever the folder, the
# umask, the time zone or the clock: every time written is SOURCE_DATE_EPOCH
# (the last commit's time where it is not set), which the strip in
# deploy.sh also stamps into each program's and DLL's header (it would
# stamp the clock's time otherwise); files are 0644, programs, DLLs and
# folders 0755.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$repo" log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH

rm -rf "$work"
mkdir -p "$work"
"$here/deploy.sh" --qt "$qt" --dest "$stage" "${programs[@]}" >"$work/deploy.log"
sed 's/$/\r/' "$repo/LICENSE" >"$stage/LICENSE.txt"
find "$stage" -type d -exec chmod 0755 {} +
find "$stage" -type f -exec chmod 0644 {} +
find "$stage" -type f \( -iname '*.exe' -o -iname '*.dll' \) -exec chmod 0755 {} +
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

# The zip: one folder, entries in a fixed order, in UTC, without extra fields.
rm -f "$zip"
(cd "$work" && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -X -D -q -9 "$zip" -@)

# The installer: an install line for each staged file and the matching
# uninstall line, so that the uninstaller removes what was installed and
# nothing else.
files=$work/files.nsh unfiles=$work/unfiles.nsh
: >"$files"
: >"$unfiles"
win() { printf '%s' "${1//\//\\}"; }
while read -r dir; do
  rel=${dir#"$stage"}
  printf 'SetOutPath "$INSTDIR%s"\n' "$(win "$rel")" >>"$files"
  while read -r f; do
    printf 'File "%s"\n' "$f" >>"$files"
    printf 'Delete "$INSTDIR%s\\%s"\n' "$(win "$rel")" "$(basename "$f")" >>"$unfiles"
  done < <(find "$dir" -maxdepth 1 -type f | LC_ALL=C sort)
done < <(find "$stage" -type d | LC_ALL=C sort)
# The subfolders, deepest first, each only if empty.
while read -r dir; do
  printf 'RMDir "$INSTDIR%s"\n' "$(win "${dir#"$stage"}")" >>"$unfiles"
done < <(find "$stage" -mindepth 1 -type d | LC_ALL=C sort -r)

makensis -V2 -NOCD -DVERSION="$version" -DOUTFILE="$setup" -DFILES="$files" -DUNFILES="$unfiles" \
  -DICON="$repo/resources/quorvel.ico" -DLICENSE="$stage/LICENSE.txt" "$repo/cmake/quorvel.nsi"

ls -l "$zip" "$setup" | awk '{ printf "%s: %.1f MB\n", $NF, $5 / 1048576 }'

#!/usr/bin/env bash
# Copies Windows programs into a folder together with every DLL they load
# that Windows itself does not have: the DLLs each program imports, found by
# reading its import table (objdump -p), then the DLLs those import, and so
# on; and Qt's plugins, which Qt loads at run time without importing them
# (the Windows platform and the Windows style), with their imports in turn.
# A DLL found neither in the build's DLL folders (dll-dirs.sh) nor among
# Windows' own (as Wine provides them) stops it: nothing is left out
# silently.
#
# Usage: tools/windows/deploy.sh --qt QT_DIR --dest DIR PROGRAM.exe...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tools/windows/dll-dirs.sh
. "$here/dll-dirs.sh"
objdump=${QUORVEL_MINGW_OBJDUMP:-x86_64-w64-mingw32-objdump}
strip=${QUORVEL_MINGW_STRIP:-x86_64-w64-mingw32-strip}
# Windows' own DLLs, as Wine implements them.
windows_dlls=${QUORVEL_WINDOWS_DLLS:-/usr/lib/x86_64-linux-gnu/wine/x86_64-windows}
# The plugins Qt loads by name at run time.
plugins=(platforms/qwindows.dll styles/qwindowsvistastyle.dll)

qt="" dest=""
while [ $# -gt 0 ]; do
  case "$1" in
    --qt) qt=$(realpath "$2"); shift 2 ;;
    --dest) dest=$2; shift 2 ;;
    *) break ;;
  esac
done
[ -n "$qt" ] && [ -n "$dest" ] && [ $# -ge 1 ] ||
  { echo "usage: deploy.sh --qt QT_DIR --dest DIR PROGRAM.exe..." >&2; exit 2; }
[ -d "$windows_dlls" ] || { echo "deploy: no Windows DLLs at $windows_dlls (wine64)" >&2; exit 1; }
mapfile -t dirs < <(quorvel_dll_dirs "$qt")
mkdir -p "$dest"

imports() { "$objdump" -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr -d '\r'; }
# A DLL by name, case-insensitively, in one folder.
find_in() { find "$1" -maxdepth 1 -type f -iname "$2" -print -quit; }

declare -A done_dlls=()
queue=()
copy() {  # FILE DEST_FILE: copied without its symbols, then its imports queued
  mkdir -p "$(dirname "$2")"
  "$strip" --strip-unneeded -o "$2" "$1"
  queue+=("$2")
}
for program in "$@"; do
  copy "$program" "$dest/$(basename "$program")"
done
for plugin in "${plugins[@]}"; do
  [ -f "$qt/plugins/$plugin" ] || { echo "deploy: no Qt plugin $qt/plugins/$plugin" >&2; exit 1; }
  copy "$qt/plugins/$plugin" "$dest/$plugin"
done

while [ ${#queue[@]} -gt 0 ]; do
  file=${queue[0]}
  queue=("${queue[@]:1}")
  while read -r dll; do
    key=${dll,,}
    [ -n "${done_dlls[$key]:-}" ] && continue
    done_dlls[$key]=1
    found=""
    for dir in "${dirs[@]}"; do
      found=$(find_in "$dir" "$dll")
      [ -n "$found" ] && break
    done
    if [ -n "$found" ]; then
      echo "deploy: $(basename "$file") needs $dll: $found"
      copy "$found" "$dest/$(basename "$found")"
      continue
    fi
    # Windows' own, unless it is a run-time that Windows does not carry
    # (Visual C++'s, DirectX's compiler), which a program must bring along.
    case "$key" in
      msvcp[0-9]* | msvcr[0-9]* | vcruntime* | concrt* | vcomp* | d3dcompiler_*) ;;
      api-ms-win-* | ext-ms-*) continue ;;
      *) [ -n "$(find_in "$windows_dlls" "$dll")" ] && continue ;;
    esac
    echo "deploy: $(basename "$file") needs $dll, found neither in ${dirs[*]} nor in Windows" >&2
    exit 1
  done < <(imports "$file")
done

# shellcheck shell=bash
# Sourced by the Windows scripts: the folders where the DLLs a program of
# the Windows build loads are found outside Windows itself.
#   quorvel_dll_dirs QT_DIR  prints one folder a line: the cross-built Qt's
#   bin/, then the cross compiler's library folders (the MinGW run-time:
#   libstdc++, libgcc_s, libwinpthread, and zlib1.dll from
#   libz-mingw-w64-dev).
QUORVEL_MINGW_CXX=${QUORVEL_MINGW_CXX:-x86_64-w64-mingw32-g++-posix}

quorvel_dll_dirs() {
  local qt=$1 line dir
  echo "$qt/bin"
  line=$("$QUORVEL_MINGW_CXX" -print-search-dirs | sed -n 's/^libraries: =//p')
  local IFS=:
  for dir in $line; do
    [ -d "$dir" ] && realpath "$dir"
  done | awk '!seen[$0]++'
}

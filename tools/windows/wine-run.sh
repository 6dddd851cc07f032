#!/usr/bin/env bash
# Runs a program of the Windows build under Wine: CMake's cross-compiling
# emulator for the test programs (ctest and test discovery), and the smoke
# and installer checks' way to start one.
#
# Usage: tools/windows/wine-run.sh [--build DIR] [--qt DIR] PROGRAM.exe [ARGS...]
#   --build  the build folder: the Wine prefix is DIR/wine (made on first
#            use by wine-prefix.sh), unless WINEPREFIX is set;
#   --qt     the unpacked Qt for Windows: its DLLs (and through them its
#            plugins) and the MinGW run-time are found on WINEPATH, so a
#            program of the build folder runs without copies beside it.
# Standard output has its CR LF line ends made LF, for the tools that read
# it (GoogleTest's test discovery); the exit status is the program's.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=""
qt=""
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --qt) qt=$2; shift 2 ;;
    *) break ;;
  esac
done
[ $# -ge 1 ] || { echo "usage: wine-run.sh [--build DIR] [--qt DIR] PROGRAM [ARGS...]" >&2; exit 2; }

if [ -z "${WINEPREFIX:-}" ]; then
  [ -n "$build" ] || { echo "wine-run: give --build or set WINEPREFIX" >&2; exit 2; }
  WINEPREFIX="$build/wine"
fi
WINEPREFIX=$(realpath -m "$WINEPREFIX")
export WINEPREFIX
[ -f "$WINEPREFIX/.quorvel-ready" ] || "$here/wine-prefix.sh" "$WINEPREFIX"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Unix folders as Windows paths on drive Z:, which Wine maps to /.
windows_path() { local p; p=$(realpath "$1"); echo "Z:${p//\//\\}"; }
if [ -n "$qt" ]; then
  dirs=("$qt/bin" /usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib
        /usr/x86_64-w64-mingw32/bin)
  path=""
  for d in "${dirs[@]}"; do
    [ -d "$d" ] && path+="${path:+;}$(windows_path "$d")"
  done
  export WINEPATH="$path${WINEPATH:+;$WINEPATH}"
fi

# The first program in a prefix starts Wine's services (services.exe,
# winedevice.exe, ...), which keep the standard streams they were given and
# outlive it: a caller that reads to the end of the program's output (ctest)
# would wait for them. So they are started first with none of ours, unless
# the caller has done so and keeps the Wine server (test.sh).
if [ "${QUORVEL_WINE_SERVICES:-}" != "$WINEPREFIX" ]; then
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
fi

set +e
wine "$@" | sed -u 's/\r$//'
status=("${PIPESTATUS[@]}")
set -e
exit "${status[0]}"

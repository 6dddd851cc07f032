#!/usr/bin/env bash
# Runs the whole cross-built test suite under Wine (make test-windows): the
# build folder's own Wine prefix (BUILD/wine, made once by wine-prefix.sh),
# one Wine server kept for the whole run, and ctest, which starts every test
# program and the test discovery through tools/windows/wine-run.sh (CMake's
# cross-compiling emulator). Prints how many tests ran.
#
# Usage: tools/windows/test.sh BUILD_DIR [CTEST ARGS...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:?usage: test.sh BUILD_DIR [CTEST ARGS...]}")
shift
export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$here/wine-prefix.sh" "$WINEPREFIX"
# No X display: the tests draw with Qt's platforms without one.
unset DISPLAY

# One Wine server for all the tests instead of one started for each; ended
# on the way out with whatever is still running in this prefix.
wineserver -p
trap 'wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true' EXIT
# Wine's services started now, holding none of ctest's pipes (wine-run.sh).
wine cmd /c exit </dev/null >/dev/null 2>&1
export QUORVEL_WINE_SERVICES=$WINEPREFIX

log=$build/test-windows.log
set +e
ctest --test-dir "$build" --output-on-failure -j "${JOBS:-$(nproc)}" "$@" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
set -e
ran=$(sed -n 's/.* tests failed out of \([0-9]*\)$/\1/p' "$log" | tail -n 1)
echo "test-windows: ${ran:-no} tests ran under Wine ($(wine --version))"
[ -n "$ran" ] && [ "$ran" -gt 0 ] || { echo "test-windows: no test ran" >&2; exit 1; }
# Wine now and then fails to start or finish one of the hundreds of
# processes the tests start. A failed test is run once more, alone, and
# named: the run passes only if it passes then.
if [ "$status" -ne 0 ]; then
  failed=$(cut -d: -f2 "$build/Testing/Temporary/LastTestsFailed.log" | tr '\n' ' ')
  echo "test-windows: failed under Wine: ${failed}; each run again, one at a time"
  set +e
  ctest --test-dir "$build" --output-on-failure --rerun-failed "$@" 2>&1 | tee -a "$log"
  status=${PIPESTATUS[0]}
  set -e
  [ "$status" -ne 0 ] || echo "test-windows: passed when run again: ${failed}"
fi
exit "$status"

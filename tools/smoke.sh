#!/usr/bin/env bash
# Starts the real window program on an X server of its own (Xvfb) on a set
# date, and goes through start-up as a user would: on the 5th, 10th, ... of
# a month the notice window must come first (685 x 361, borderless), and is
# closed with its "X" button; then the main window "Quorvel Encryption" must
# appear, and is closed; the program must end with status 0 and leave the
# picture folder behind. Proves that the installed run-time pieces (Qt's
# xcb platform, fonts, the built-in pictures) are all there.
#
# Usage: tools/smoke.sh [--date YYYY-MM-DD] [--shot DIR] [PROGRAM]
#   default date 2026-12-06 (no notice), default program build/quorvel;
#   --shot saves screenshots of what appeared into DIR.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
date=2026-12-06
shots=""
while [ $# -gt 0 ]; do
  case "$1" in
    --date) date=$2; shift 2 ;;
    --shot) shots=$(realpath "$2"); shift 2 ;;
    *) break ;;
  esac
done
program=$(realpath "${1:-build/quorvel}")
faketime_lib=$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -n 1)
[ -n "$faketime_lib" ] || { echo "smoke: no libfaketime (tools/setup.sh faketime)"; exit 1; }
data=$(mktemp -d)

export SMOKE_PROGRAM="$program" SMOKE_TOOLS="$here" SMOKE_DATE="$date" SMOKE_SHOTS="$shots"
export SMOKE_FAKETIME="$faketime_lib"
export XDG_DATA_HOME="$data"
unset QT_QPA_PLATFORM

source "$here/xvfb.sh"
stop() {
  stop_xvfb
  rm -rf "$data"
}
trap stop EXIT
start_xvfb "$data"

bash -c '
  set -u
  fail() { echo "smoke: $*"; cat "$XDG_DATA_HOME/log"; kill "$pid" 2>/dev/null; exit 1; }
  shot() { [ -z "$SMOKE_SHOTS" ] || import -window root "$SMOKE_SHOTS/$1.png"; }
  source "$SMOKE_TOOLS/xvfb.sh"  # windows, wait_for
  # libfaketime preloaded, not through the faketime command, which leaves a
  # semaphore behind when it is killed.
  LD_PRELOAD=$SMOKE_FAKETIME FAKETIME="@$SMOKE_DATE 12:00:00" NO_FAKE_STAT=1 \
    "$SMOKE_PROGRAM" >"$XDG_DATA_HOME/log" 2>&1 &
  pid=$!
  day=$(date -d "$SMOKE_DATE" +%-d)
  if [ $((day % 5)) -eq 0 ]; then
    notice=$(wait_for "^[0-9]+ 685 361 ") || fail "no 685 x 361 notice window on day $day"
    windows | grep -q "Quorvel Encryption" && fail "the main window came before the notice"
    echo "smoke: the notice window came first: $notice"
    shot notice
    id=${notice%% *}
    eval "$(xdotool getwindowgeometry --shell "$id")"
    xdotool mousemove $((X + 18)) $((Y + 18)) click 1   # the "X" button
  fi
  main=$(wait_for " Quorvel Encryption$") || fail "no window titled \"Quorvel Encryption\""
  echo "smoke: found the main window: $main"
  shot main
  "$SMOKE_TOOLS/x11_close.py" "${main%% *}"
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
  kill -0 "$pid" 2>/dev/null && fail "the program did not end after its window was closed"
  wait "$pid"
  status=$?
  [ -d "$XDG_DATA_HOME/quorvel/drive_c/dpics" ] || fail "the picture folder was not created"
  echo "smoke: the program ended with status $status"
  exit "$status"
'

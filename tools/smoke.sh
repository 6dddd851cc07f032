#!/usr/bin/env bash
# Starts the real window program on an X server of its own (Xvfb), waits
# for its main window "Quorvel Encryption", closes it as a user would and
# checks that the program ends cleanly. Proves that the installed run-time
# pieces (Qt's xcb platform, fonts, resources) are all there.
#
# Usage: tools/smoke.sh [PROGRAM]   (default: build/quorvel)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "${1:-build/quorvel}")
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT

export SMOKE_PROGRAM="$program" SMOKE_TOOLS="$here" XDG_DATA_HOME="$data"
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -u
  "$SMOKE_PROGRAM" >"$XDG_DATA_HOME/log" 2>&1 &
  pid=$!
  window=""
  for _ in $(seq 100); do
    window=$(xdotool search --name "^Quorvel Encryption\$" 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  if [ -z "$window" ]; then
    echo "smoke: no window titled \"Quorvel Encryption\" appeared"
    cat "$XDG_DATA_HOME/log"
    kill "$pid" 2>/dev/null
    exit 1
  fi
  echo "smoke: found the main window ($window)"
  if [ -n "${SMOKE_SHOT:-}" ]; then import -window root "$SMOKE_SHOT"; fi
  "$SMOKE_TOOLS/x11_close.py" "$window"
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
  if kill -0 "$pid" 2>/dev/null; then
    echo "smoke: the program did not end after its window was closed"
    kill "$pid"
    exit 1
  fi
  wait "$pid"
  status=$?
  [ -d "$XDG_DATA_HOME/quorvel/drive_c/dpics" ] || { echo "smoke: c:\\dpics was not created"; exit 1; }
  echo "smoke: the program ended with status $status"
  exit "$status"
'

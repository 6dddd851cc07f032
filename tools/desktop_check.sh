#!/usr/bin/env bash
# Checks the window program against its desktop entry, as a desktop meets
# them, starting every display server it needs:
#   - with no display at all, --help and --version answer on standard output
#     with status 0, and a standard output that cannot be written (/dev/full)
#     gives a status other than 0;
#   - on Wayland (a headless weston of its own, in a private runtime folder)
#     the main window's app id, as the compositor receives it, is the
#     entry's id: its file name without ".desktop";
#   - on X11 (Xvfb) the class in the main window's WM_CLASS is the entry's
#     StartupWMClass.
# Docks and task bars match windows to entries by these two.
#
# Usage: tools/desktop_check.sh PROGRAM DESKTOP_ENTRY
#   e.g. the unpacked package's usr/bin/quorvel and
#   usr/share/applications/org.example.quorvel.desktop.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "$1")
entry=$(realpath "$2")
app_id=$(basename "$entry" .desktop)
wm_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
main_title="Quorvel Encryption"
day=2026-12-06  # a day without the notice window: the main window comes first

fail() { echo "desktop_check: $*" >&2; exit 1; }
[ -n "$wm_class" ] || fail "$entry has no StartupWMClass"

work=$(mktemp -d)
pid=""
weston_pid=""
source "$here/xvfb.sh"
stop() {
  [ -z "$pid" ] || { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; } || true
  [ -z "$weston_pid" ] || { kill "$weston_pid" 2>/dev/null; wait "$weston_pid" 2>/dev/null; } || true
  stop_xvfb
  rm -rf "$work"
}
trap stop EXIT
export XDG_DATA_HOME=$work/data
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM XAUTHORITY

# --help and --version without a display: a program that opened its window
# instead would fail to find one.
for option in --help --version; do
  status=0
  timeout 30 "$program" "$option" >"$work/out" 2>"$work/err" || status=$?
  [ "$status" -eq 0 ] || fail "quorvel $option ended with status $status: $(cat "$work/err")"
  [ -s "$work/err" ] && fail "quorvel $option wrote on standard error: $(cat "$work/err")"
done
grep -Eqx 'quorvel [0-9]+\.[0-9]+\.[0-9]+' "$work/out" || fail "quorvel --version gave: $(cat "$work/out")"
echo "desktop_check: $(cat "$work/out") answers --help and --version without a display"
status=0
timeout 30 "$program" --version >/dev/full 2>"$work/err" || status=$?
[ "$status" -ne 0 ] || fail "quorvel --version >/dev/full ended with status 0"
echo "desktop_check: a full standard output gives status $status: $(cat "$work/err")"

# Waits until the file $1 has a line matching the extended expression $2,
# while the process $3 runs; prints the first such line.
wait_for_line() {
  for _ in $(seq 150); do
    if grep -Em1 "$2" "$1" 2>/dev/null; then return 0; fi
    kill -0 "$3" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}

# The day, through libfaketime preloaded: the faketime command leaves a
# semaphore behind when it is killed.
faketime_lib=$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -n 1)
[ -n "$faketime_lib" ] || fail "no libfaketime"
on_the_day=(env "LD_PRELOAD=$faketime_lib" "FAKETIME=@$day 12:00:00" NO_FAKE_STAT=1)

# Wayland: the requests the program sends the compositor, as WAYLAND_DEBUG
# logs them; the app id of the toplevel that gets the main window's title.
mkdir -m 700 "$work/runtime"
XDG_RUNTIME_DIR=$work/runtime weston --backend=headless-backend.so --socket=quorvel-check \
  --idle-time=0 >"$work/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do
  [ -S "$work/runtime/quorvel-check" ] && break
  kill -0 "$weston_pid" 2>/dev/null || break
  sleep 0.1
done
[ -S "$work/runtime/quorvel-check" ] || { cat "$work/weston.log"; fail "weston did not start"; }
XDG_RUNTIME_DIR=$work/runtime WAYLAND_DISPLAY=quorvel-check QT_QPA_PLATFORM=wayland \
  WAYLAND_DEBUG=client "${on_the_day[@]}" "$program" >"$work/wayland.log" 2>&1 &
pid=$!
title=$(wait_for_line "$work/wayland.log" "xdg_toplevel@[0-9]+\.set_title\(\"$main_title\"\)" "$pid") ||
  { tail -n 20 "$work/wayland.log"; fail "no Wayland toplevel titled \"$main_title\""; }
toplevel=$(grep -Eo 'xdg_toplevel@[0-9]+' <<<"$title")
seen=$(grep -Eo "$toplevel\.set_app_id\(\"[^\"]*\"\)" "$work/wayland.log" | tail -n 1) ||
  fail "the main window sent no app id"
echo "desktop_check: Wayland: $seen"
[ "$seen" = "$toplevel.set_app_id(\"$app_id\")" ] || fail "Wayland app id is not \"$app_id\""
kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""

# X11: the main window's WM_CLASS, "instance", "class".
start_xvfb "$work"
"${on_the_day[@]}" "$program" >"$work/x11.log" 2>&1 &
pid=$!
window=""
for _ in $(seq 150); do
  window=$(xdotool search --onlyvisible --name "^$main_title\$" 2>/dev/null | head -n 1) || true
  [ -n "$window" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
[ -n "$window" ] || { cat "$work/x11.log"; fail "no X11 window titled \"$main_title\""; }
seen=$(xprop -id "$window" WM_CLASS)
echo "desktop_check: X11: $seen; the entry's StartupWMClass=$wm_class"
[[ "$seen" =~ ^WM_CLASS\(STRING\)\ =\ \"[^\"]*\",\ \"([^\"]*)\"$ ]] || fail "no WM_CLASS"
[ "${BASH_REMATCH[1]}" = "$wm_class" ] || fail "WM_CLASS class is not StartupWMClass \"$wm_class\""
echo "desktop_check: $program belongs to $app_id.desktop on Wayland and X11"

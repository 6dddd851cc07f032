#!/usr/bin/env bash
# The Windows build's window under Wine, as a user meets it: starts
# quorvel.exe on an X server of its own (Xvfb) on a set date; on the 5th,
# 10th, ... of a month the notice window (685 x 361) must come first and is
# closed with its "X" button; then, in the main window "Quorvel Encryption",
# a round trip with the keyboard: a text typed, Encrypt ("Done."), Load,
# Decrypt, the decoded text copied to the clipboard and compared. The
# picture C:\dpics\pic.bmp in the Wine prefix must decode to the text with
# the Linux quorvel-strip and be byte for byte the strip that program makes
# of it; the window is closed and the program must end with status 0.
#
# Usage: tools/windows/smoke.sh --prefix WINEPREFIX --strip LINUX_QUORVEL_STRIP
#                               [--date YYYY-MM-DD] [--shot FILE.png] QUORVEL.EXE
#   The prefix is made by wine-prefix.sh when missing; its C:\dpics is
#   removed first. Default date 2026-12-06 (no notice). --shot saves a
#   screenshot of the main window after the round trip.
# The date is faked with libfaketime (preloaded into Wine itself: the
# faketime command stays behind, waiting on Wine's background processes),
# which Wine's clock follows; file times are left alone, since Wine reads
# them to see whether its prefix is current.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
date=2026-12-06
shot="" prefix="" strip=""
while [ $# -gt 0 ]; do
  case "$1" in
    --date) date=$2; shift 2 ;;
    --shot) shot=$(realpath -m "$2"); shift 2 ;;
    --prefix) prefix=$(realpath -m "$2"); shift 2 ;;
    --strip) strip=$(realpath "$2"); shift 2 ;;
    *) break ;;
  esac
done
[ $# -eq 1 ] && [ -n "$prefix" ] && [ -n "$strip" ] || {
  echo "usage: smoke.sh --prefix WINEPREFIX --strip LINUX_QUORVEL_STRIP [--date D] [--shot FILE] QUORVEL.EXE" >&2
  exit 2
}
program=$(realpath "$1")
work=$(mktemp -d)

"$here/wine-prefix.sh" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$prefix/drive_c/dpics"

source "$here/../xvfb.sh"
finish() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  stop_xvfb
  rm -rf "$work"
}
trap finish EXIT
start_xvfb "$work"
unset QT_QPA_PLATFORM
# The Wine server started at the real date, kept until the end.
wineserver -p

pid=""
fail() {
  echo "smoke: $*"
  [ -z "$shot" ] || import -window root "${shot%.png}-failed.png" || true
  cat "$work/log"
  [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
  exit 1
}
wait_gone() {
  for _ in $(seq 50); do
    windows | grep -qE "$1" || return 0
    sleep 0.2
  done
  return 1
}
keys() { xdotool key --delay 80 "$@"; sleep 0.5; }

libfaketime=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1
[ -f "$libfaketime" ] || { echo "smoke: no $libfaketime (libfaketime)"; exit 1; }
LD_PRELOAD=$libfaketime FAKETIME="@$date 12:00:00" NO_FAKE_STAT=1 wine "$program" >"$work/log" 2>&1 &
pid=$!
day=$(date -d "$date" +%-d)
if [ $((day % 5)) -eq 0 ]; then
  notice=$(wait_for "^[0-9]+ 685 361 ") || fail "no 685 x 361 notice window on day $day"
  windows | grep -q " Quorvel Encryption$" && fail "the main window came before the notice"
  echo "smoke: the notice window came first: $notice"
  eval "$(xdotool getwindowgeometry --shell "${notice%% *}")"
  xdotool mousemove $((X + 18)) $((Y + 18)) click 1   # the "X" button
fi
main=$(wait_for " Quorvel Encryption$") || fail "no window titled \"Quorvel Encryption\""
echo "smoke: found the main window: $main"
[ -d "$prefix/drive_c/dpics" ] || fail "C:\\dpics was not created at start-up"

# The round trip, with the keyboard as the Tab order gives it: the text box
# has the focus; Tab goes to Encrypt. Enter closes "Done.", which gives the
# focus back to Encrypt; six Tabs reach Load (the decoded text, Decrypt, the
# three keys, Load), four back Decrypt, one more back the decoded text, two
# more back the text box.
text=$'Meet me at the\nold mill at noon.'  # Return in the text box breaks the line
# A click into the text box first: without a window manager nothing gives
# the window the keyboard focus after the notice window has gone.
eval "$(xdotool getwindowgeometry --shell "${main%% *}")"
sleep 1
xdotool mousemove $((X + 100)) $((Y + 200)) click 1
sleep 0.5
xdotool type --delay 40 "${text%%$'\n'*}"
xdotool key Return
xdotool type --delay 40 "${text#*$'\n'}"
keys Tab space
done_box=$(wait_for "^[0-9]+ [0-9]+ [0-9]+ Quorvel$") || fail "no \"Done.\" message box after Encrypt"
echo "smoke: Encrypt gave a message box: $done_box"
keys Return
wait_gone "^[0-9]+ [0-9]+ [0-9]+ Quorvel$" || fail "the message box did not close"
bmp=$prefix/drive_c/dpics/pic.bmp
[ -f "$bmp" ] || fail "no C:\\dpics\\pic.bmp after Encrypt"
decoded=$("$strip" decode --keys 42,42,42 "$bmp") || fail "the Linux quorvel-strip cannot decode the strip"
[ "$decoded" = "$text" ] || fail "the strip decodes to \"$decoded\", not \"$text\""
printf '%s' "$text" | "$strip" encode --keys 42,42,42 -o "$work/linux.bmp" -
cmp "$bmp" "$work/linux.bmp" || fail "the window's strip differs from the Linux quorvel-strip's"
echo "smoke: C:\\dpics\\pic.bmp is the Linux program's strip of the text"

keys Tab Tab Tab Tab Tab Tab space          # Load
keys shift+Tab shift+Tab shift+Tab shift+Tab space   # Decrypt
windows | grep -qE "^[0-9]+ [0-9]+ [0-9]+ Quorvel$" && fail "Load or Decrypt showed a message box"
echo -n | xclip -selection clipboard
keys shift+Tab ctrl+a ctrl+c
shown=$(xclip -o -selection clipboard 2>/dev/null | tr -d '\r') || true
[ "$shown" = "$text" ] || fail "after Load and Decrypt the window shows \"$shown\", not \"$text\""
echo "smoke: Load and Decrypt showed the text again"
if [ -n "$shot" ]; then
  keys ctrl+End shift+Tab shift+Tab   # nothing selected, the focus in the text box
  import -window root "$work/root.png"
  eval "$(xdotool getwindowgeometry --shell "${main%% *}")"
  convert "$work/root.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$shot"
  echo "smoke: screenshot $shot"
fi

# Closed as a user does it: Wine's windows without a window manager take
# no close request from X, so Alt+F4 (the focus is in the window).
# Wine takes a few seconds to end a program's process after its last window.
keys alt+F4
for _ in $(seq 150); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$pid" 2>/dev/null && fail "the program did not end after its window was closed"
status=0
wait "$pid" || status=$?
echo "smoke: the program ended with status $status"
exit "$status"

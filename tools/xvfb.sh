# Sourced by the smoke tests: an X server of their own, and the windows on it. -displayfd makes it
# pick a free display number itself and write it only once it accepts
# connections; stop_xvfb stops it and waits for it, so that a run straight
# after this one never meets a server that is still going away on the same
# number.

xvfb=""

# start_xvfb DIR: starts the server, its log and display number kept in DIR,
# and exports DISPLAY for it.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$1/display" 2>"$1/xvfb.log" &
  xvfb=$!
  for _ in $(seq 100); do
    [ -s "$1/display" ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$1/display" ] || { cat "$1/xvfb.log"; echo "smoke: Xvfb did not start"; exit 1; }
  DISPLAY=":$(head -n 1 "$1/display")"
  export DISPLAY
  unset XAUTHORITY
}

stop_xvfb() {
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  fi
}

# Visible top-level windows as "id width height name" lines.
windows() {
  local w geometry WIDTH HEIGHT
  for w in $(xdotool search --onlyvisible --name "" 2>/dev/null); do
    # A window may go between the search and the questions.
    geometry=$(xdotool getwindowgeometry --shell "$w" 2>/dev/null) || continue
    eval "$(grep -E '^(WIDTH|HEIGHT)=' <<<"$geometry")"
    echo "$w $WIDTH $HEIGHT $(xdotool getwindowname "$w" 2>/dev/null)"
  done
}

# wait_for REGEX: the first of those lines that matches, within 30 s, while
# the program $pid runs.
wait_for() {
  local found
  for _ in $(seq 150); do
    found=$(windows | grep -E "$1" | head -n 1 || true)
    [ -n "$found" ] && { echo "$found"; return 0; }
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}

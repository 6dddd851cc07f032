#!/usr/bin/env bash
# Checks the Windows installer under Wine, in a fresh Wine prefix, once per
# machine, once per user and once per user into a folder given with /D:
#   - `quorvel-VERSION-setup.exe /S` installs silently (/AllUsers into
#     Program Files, /CurrentUser into the user's own programs folder);
#   - the Start-menu entry exists and points at the installed quorvel.exe; the
#     uninstall entry is in the registry (the machine's or the user's);
#   - the installed quorvel-strip.exe round-trips a text through
#     C:\dpics\pic.bmp, and that strip is byte for byte what the Linux
#     quorvel-strip makes of the same text with the same keys;
#   - the uninstaller, as the registry's quiet uninstall command gives it,
#     removes the programs, the entry and the registry keys, leaves no file
#     behind that the install added, and leaves C:\dpics\pic.bmp as it was.
#
# Usage: tools/windows/check_installer.sh --prefix WINEPREFIX --strip LINUX_QUORVEL_STRIP SETUP.exe
#   The prefix is made anew (its old content removed).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix="" strip=""
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix=$(realpath -m "$2"); shift 2 ;;
    --strip) strip=$(realpath "$2"); shift 2 ;;
    *) break ;;
  esac
done
[ $# -eq 1 ] && [ -n "$prefix" ] && [ -n "$strip" ] || {
  echo "usage: check_installer.sh --prefix WINEPREFIX --strip LINUX_QUORVEL_STRIP SETUP.exe" >&2
  exit 2
}
setup=$(realpath "$1")
version=$(basename "$setup" | sed -n 's/^quorvel-\(.*\)-setup\.exe$/\1/p')
[ -n "$version" ] || { echo "check_installer: $setup is not named quorvel-VERSION-setup.exe" >&2; exit 2; }
work=$(mktemp -d)

rm -rf "$prefix" "$prefix.lock"
"$here/wine-prefix.sh" "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
# `wineserver -w` below waits for all of the prefix's processes to end (the
# server goes 3 seconds after the last one): so no persistent server here.
trap 'wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; rm -rf "$work"' EXIT

fail() { echo "check_installer: $*" >&2; exit 1; }
drive_c=$prefix/drive_c
# A Windows path of the prefix as a Unix one.
unix() { winepath -u "$1" 2>/dev/null; }
# The files of drive C:, without Wine's own scratch and the user's pictures.
files() {
  (cd "$drive_c" && find . \( -path './users/*/Temp' -o -path './users/*/AppData/Local/Temp' \
    -o -path './windows' -o -path './dpics' \) -prune -o -print | LC_ALL=C sort)
}
# One value of a registry key, or nothing.
reg_value() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}

# A text with a line break and letters of code page 1252 beyond ASCII.
text=$'Café at noon: 2 × 3 = 6\nbring the map.'
keys=7,250,42
printf '%s' "$text" | "$strip" encode --keys "$keys" --codepage 1252 -o "$work/linux.bmp" -

check_mode() {  # MODE ROOT WHERE [ARGUMENTS]: AllUsers HKLM, or CurrentUser HKCU;
                # WHERE the folder expected, as a shell pattern
  local mode=$1 root=$2 where=$3
  shift 3
  local key="$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvel"
  echo "check_installer: $mode"
  rm -rf "$drive_c/dpics"
  files >"$work/before"

  wine "$setup" /S "/$mode" "$@" || fail "setup.exe /S /$mode $* ended with status $?"
  wineserver -w
  local location; location=$(reg_value "$key" InstallLocation)
  [ -n "$location" ] || fail "no InstallLocation in $key"
  [ "$(reg_value "$key" DisplayVersion)" = "$version" ] || fail "$key has no DisplayVersion $version"
  local dir; dir=$(unix "$location")
  local pattern=${where//\\/\\\\}  # backslashes matched as themselves
  # shellcheck disable=SC2053 # a pattern
  [[ $location == $pattern ]] || fail "installed into $location, not $where"
  local f
  for f in quorvel.exe quorvel-strip.exe uninstall.exe LICENSE.txt Qt6Core.dll platforms/qwindows.dll \
           styles/qwindowsvistastyle.dll; do
    [ -f "$dir/$f" ] || fail "$location has no $f"
  done
  echo "check_installer: installed into $location"

  # The Start-menu entry: the machine's or the user's, pointing at the program.
  local programs
  local base=APPDATA
  [ "$mode" = AllUsers ] && base=ProgramData
  programs=$(unix "$(wine cmd /c echo "%$base%" | tr -d '\r')\Microsoft\Windows\Start Menu\Programs")
  [ -f "$programs/Quorvel.lnk" ] || fail "no Start-menu entry in $programs"
  strings -a "$programs/Quorvel.lnk" | grep -qiF "$location\\quorvel.exe" ||
    strings -a -el "$programs/Quorvel.lnk" | grep -qiF "$location\\quorvel.exe" ||
    fail "the Start-menu entry does not start $location\\quorvel.exe"
  echo "check_installer: Start-menu entry $programs/Quorvel.lnk"

  # The installed command-line program, from its own folder only.
  local strip_exe="$location\\quorvel-strip.exe"
  [ "$(wine "$strip_exe" --version | tr -d '\r')" = "quorvel-strip $version" ] ||
    fail "$strip_exe --version does not say $version"
  printf '%s' "$text" | wine "$strip_exe" encode --keys "$keys" --codepage 1252 ||
    fail "$strip_exe encode ended with status $?"
  local bmp=$drive_c/dpics/pic.bmp
  [ -f "$bmp" ] || fail "no C:\\dpics\\pic.bmp after encode"
  local back; back=$(wine "$strip_exe" decode --keys "$keys" --codepage 1252 | sed 's/\r$//')
  [ "$back" = "$text" ] || fail "decode gave \"$back\", not \"$text\""
  cmp "$bmp" "$work/linux.bmp" || fail "the installed program's strip differs from the Linux one's"
  echo "check_installer: round trip through C:\\dpics\\pic.bmp, the same bytes as on Linux"
  cp "$bmp" "$work/kept.bmp"

  # Uninstall as Apps and features would, quietly; the uninstaller copies
  # itself away and returns at once, so wait for the prefix to go idle.
  local uninstall; uninstall=$(reg_value "$key" QuietUninstallString)
  [ -n "$uninstall" ] || fail "no QuietUninstallString in $key"
  # "PROGRAM" ARGUMENTS, split as Windows would.
  local program=${uninstall#\"}
  program=${program%%\"*}
  local -a arguments
  read -r -a arguments <<<"${uninstall#\""$program"\"}"
  wine "$program" "${arguments[@]}" || fail "$uninstall ended with status $?"
  wineserver -w
  [ ! -e "$dir" ] || fail "$location is still there: $(cd "$dir" && find . | tr '\n' ' ')"
  [ ! -e "$programs/Quorvel.lnk" ] || fail "the Start-menu entry is still there"
  wine reg query "$key" >/dev/null 2>&1 && fail "$key is still there"
  files >"$work/after"
  # Per user, the installer may have had to create the user's programs
  # folder (Windows' known folder UserProgramFiles, which Windows keeps for
  # every per-user program): that one stays.
  if [[ $location == *'\AppData\Local\Programs\Quorvel' ]]; then
    local known; known=./$(realpath --relative-to="$drive_c" "$(dirname "$dir")")
    grep -vxF "$known" "$work/after" >"$work/after.kept" || true
    mv "$work/after.kept" "$work/after"
  fi
  diff "$work/before" "$work/after" >"$work/diff" || fail "the uninstall left changes: $(cat "$work/diff")"
  cmp "$bmp" "$work/kept.bmp" || fail "C:\\dpics\\pic.bmp changed or went"
  echo "check_installer: uninstalled; C:\\dpics\\pic.bmp left as it was"
}

check_mode AllUsers HKLM 'C:\Program Files\Quorvel'
check_mode CurrentUser HKCU 'C:\users\*\AppData\Local\Programs\Quorvel'
# Into a folder of one's own (/D, last), inside a folder the user already
# has, which stays. (Wine quotes an argument with a space, and NSIS reads a
# quoted /D as no /D: so no space here.)
mkdir -p "$drive_c/Tools"
check_mode CurrentUser HKCU 'C:\Tools\Quorvel' '/D=C:\Tools\Quorvel'
echo "check_installer: $(basename "$setup") passed"

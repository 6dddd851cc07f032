#!/usr/bin/env bash
# Makes a Wine prefix for running Quorvel's Windows build, once: `wineboot
# -i`, then the Liberation fonts (Debian's fonts-liberation) in its
# C:\windows\Fonts, standing in for Arial, Times New Roman and Courier New
# under those names, as they do on Linux: a fresh prefix has no Arial, and
# the windows' layout is measured in Arial's metrics.
#
# Usage: tools/windows/wine-prefix.sh PREFIX
# Safe to run again and from several processes at once (a lock).
set -euo pipefail
prefix=$(realpath -m "${1:?usage: wine-prefix.sh PREFIX}")
mkdir -p "$(dirname "$prefix")"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine opens no window of its own while the prefix is made.
unset DISPLAY

exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.quorvel-ready" ] && exit 0

rm -rf "$prefix"
echo "Making the Wine prefix $prefix"
wineboot -i >/dev/null 2>&1
wineserver -w

fonts=/usr/share/fonts/truetype/liberation
[ -f "$fonts/LiberationSans-Regular.ttf" ] || {
  echo "wine-prefix: no Liberation fonts in $fonts (fonts-liberation)" >&2
  exit 1
}
cp "$fonts"/Liberation{Sans,Serif,Mono}-*.ttf "$prefix/drive_c/windows/Fonts/"
# Wine's own replacement table makes each a family of the replaced name,
# which the programs' font lists then show; the system's font substitutes
# say the same to programs that read those.
for pair in "Arial=Liberation Sans" "Times New Roman=Liberation Serif" "Courier New=Liberation Mono"; do
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${pair%%=*}" /d "${pair#*=}" /f >/dev/null
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
    /v "${pair%%=*}" /d "${pair#*=}" /f >/dev/null
done
# Text smoothed as Windows does it out of the box (ClearType); a fresh
# prefix draws it without.
desktop='HKCU\Control Panel\Desktop'
wine reg add "$desktop" /v FontSmoothing /d 2 /f >/dev/null
wine reg add "$desktop" /v FontSmoothingType /t REG_DWORD /d 2 /f >/dev/null
wine reg add "$desktop" /v FontSmoothingGamma /t REG_DWORD /d 1400 /f >/dev/null
wine reg add "$desktop" /v FontSmoothingOrientation /t REG_DWORD /d 1 /f >/dev/null
wineserver -w
touch "$prefix/.quorvel-ready"

#!/usr/bin/env bash
# Checks the two Debian packages that `make package` built, quorvel (the
# window) and quorvel-strip (the command line): lintian with no tag at all
# on either, the command line's depending on no graphics library, the
# README's pictures and links, the desktop entry, the AppStream metadata,
# both manual pages rendered without a warning, every icon size, and the
# bash completion answering `quorvel-strip enc<TAB>` and option values
# before and after the command word. Fails at the first problem.
#
# Usage: tools/check_package.sh [QUORVEL.deb [QUORVEL-STRIP.deb]]
#   (default: build-deb/quorvel_*_amd64.deb and build-deb/quorvel-strip_*_amd64.deb)
set -euo pipefail
cd "$(dirname "$0")/.."

deb=${1:-$(ls build-deb/quorvel_*_amd64.deb)}
strip_deb=${2:-$(ls "$(dirname "$deb")"/quorvel-strip_*_amd64.deb)}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch" "$scratch.lintian"' EXIT
dpkg-deb -x "$deb" "$scratch"
dpkg-deb -x "$strip_deb" "$scratch"
share=$scratch/usr/share

fail() { echo "check_package: $*" >&2; exit 1; }

# No tag at all, down to the informational, pedantic and experimental ones
# (an override in resources/*.lintian-overrides says why).
for package in "$deb" "$strip_deb"; do
  echo "lintian --display-info --pedantic --display-experimental $package"
  lintian --display-info --pedantic --display-experimental --info --tag-display-limit 0 "$package" |
    tee "$scratch.lintian"
  if grep -q '^[A-Z]: ' "$scratch.lintian"; then fail "lintian reports a tag"; fi
done

# The command line installs without a display's libraries.
depends=$(dpkg-deb -f "$strip_deb" Depends)
echo "quorvel-strip Depends: $depends"
if grep -Eiq 'qt6-?gui|qt6-?widgets|qpa|libx|xcb|libgl|libegl|libopengl|fontconfig|freetype|harfbuzz|dbus|fonts-' <<<"$depends"; then
  fail "quorvel-strip depends on a graphics library: $depends"
fi

# Every picture and local link the installed README names is installed.
doc=$share/doc/quorvel
[ -f "$doc/README.md" ] || fail "no README in /usr/share/doc/quorvel"
mapfile -t targets < <(grep -Eo '\]\([^) ]+|^\[[^]]+\]: *[^ ]+' "$doc/README.md" | sed -E 's/^\]\(//; s/^\[[^]]+\]: *//')
for target in "${targets[@]}"; do
  case "$target" in http://* | https://* | mailto:* | '#'*) continue ;; esac
  [ -e "$doc/${target%%#*}" ] || fail "the README names $target, which is not installed"
done
echo "check_package: the README's ${#targets[@]} links and pictures are installed"

desktop=$share/applications/org.example.quorvel.desktop
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$share/metainfo/org.example.quorvel.metainfo.xml"

for page in quorvel quorvel-strip; do
  warnings=$(MANWIDTH=80 man --warnings -l "$share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man --warnings on $page(1): $warnings"
done

for size in 16 24 32 48 64 128 256; do
  icon=$share/icons/hicolor/${size}x${size}/apps/quorvel.png
  [ -f "$icon" ] || fail "no ${size}x${size} icon"
done
[ -f "$share/icons/hicolor/scalable/apps/quorvel.svg" ] || fail "no scalable icon"

# The completion, as bash-completion would load it: the command word, and
# option values, with options before the command word too.
completion=$share/bash-completion/completions/quorvel-strip
while IFS='|' read -r line expected; do
  reply=$(bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"
    read -ra COMP_WORDS <<<"$2"
    [[ $2 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE=$2 COMP_POINT=${#2}
    _quorvel_strip quorvel-strip
    echo "${COMPREPLY[*]}"' _ "$completion" "$line")
  [ "$reply" = "$expected" ] || fail "completion of \"$line\" gave \"$reply\", not \"$expected\""
done <<'EOF'
quorvel-strip enc|encode
quorvel-strip --keys 1,2,3 |encode decode
quorvel-strip --keys=1,2,3 -o /dev/nul --height 8 d|decode
quorvel-strip --codepage 125|1250 1251 1252 1253 1254 1255 1256 1257 1258
quorvel-strip -o /dev/nul|/dev/null
quorvel-strip --keys 1,2,3 decode --codepage=874|874
quorvel-strip --height 2 encode --r|
quorvel-strip decode --r|--raw
quorvel-strip --keys-file /dev/nul|/dev/null
quorvel-strip --keys-file k decode --k|--keys --keys-file
EOF

echo "check_package: $deb and $strip_deb are clean"

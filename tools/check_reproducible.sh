#!/usr/bin/env bash
# Checks that two builds of the current commit give the same bytes: the two
# Debian packages (make package) and the Windows zip and installer (make
# windows). Each build is made in a fresh clone of the commit, in folders of
# different names and lengths, one after the other (so at different times),
# the first with umask 022 in UTC, the second with umask 002 fourteen hours
# ahead; SOURCE_DATE_EPOCH is left for each clone to take from the commit.
# Prints each file's size and SHA-256 from both builds; where they differ,
# shows where with diffoscope (tools/setup.sh diffoscope-minimal), or else
# lists the differing members.
#
# Usage: tools/check_reproducible.sh [--no-windows] [--first DIR] [--keep]
#   --no-windows  the Debian packages alone
#   --first DIR   take the first build from DIR, a clean checkout of the
#                 commit whose `make package` (and `make windows`) have run,
#                 as in CI, instead of building it again; DIR's commit is
#                 the one checked
#   --keep        keep the clones (they are kept anyway when a check fails)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
windows=1 first="" keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --no-windows) windows=0; shift ;;
    --first) first=$(cd "$2" && pwd); shift 2 ;;
    --keep) keep=1; shift ;;
    *) echo "usage: check_reproducible.sh [--no-windows] [--first DIR] [--keep]" >&2; exit 2 ;;
  esac
done

source_repo=${first:-$repo}
commit=$(git -C "$source_repo" rev-parse HEAD)
if [ -n "$first" ] && [ -n "$(git -C "$first" status --porcelain --untracked-files=no)" ]; then
  echo "check_reproducible: $first has changes that are not committed: its build is not $commit's" >&2
  exit 1
fi
if [ -z "$first" ] && [ -n "$(git -C "$repo" status --porcelain --untracked-files=no)" ]; then
  echo "check_reproducible: changes that are not committed are not in the clones: checking $commit"
fi
# The clones have no ../shared beside them: the Windows build's archives
# are taken from beside this repository.
shared=$repo/../shared/windows
export QT_MINGW_ARCHIVE=${QT_MINGW_ARCHIVE:-$shared/qt6-mingw.tar.xz}
export SPNG_MINGW_ARCHIVE=${SPNG_MINGW_ARCHIVE:-$shared/spng-mingw.tar.xz}
# Each clone's build as a build of its own: nothing from a calling make.
unset SOURCE_DATE_EPOCH MAKEFLAGS MFLAGS MAKELEVEL

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-reproducible.XXXXXX")
status=1
finish() {
  if [ "$status" -eq 0 ] && [ "$keep" -eq 0 ]; then
    rm -rf "$work"
  else
    echo "check_reproducible: the builds are kept in $work"
  fi
}
trap finish EXIT

# build FOLDER UMASK TZ: clones the commit into FOLDER and builds there.
build() {
  local dir=$1 mask=$2 zone=$3 start
  start=$(date +%s)
  echo "== $dir: umask $mask, TZ=$zone, started $(TZ=$zone date '+%F %T %Z')"
  (
    umask "$mask"
    export TZ=$zone
    git clone -q --no-checkout "$source_repo" "$dir"
    git -C "$dir" checkout -q --detach "$commit"
    cd "$dir"
    make package WERROR=ON >"$dir.log" 2>&1
    if [ "$windows" -eq 1 ]; then
      make windows >>"$dir.log" 2>&1
    fi
  ) || {
    tail -n 30 "$dir.log" >&2
    echo "check_reproducible: the build in $dir failed (log: $dir.log)" >&2
    exit 1
  }
  echo "   built in $(($(date +%s) - start)) s"
}

if [ -n "$first" ]; then
  a=$first
  echo "== $a: the first build, as made there"
else
  a=$work/a
  build "$a" 022 UTC
fi
b=$work/second-clone-in-a-longer-folder
build "$b" 002 Pacific/Kiritimati

patterns=(build-deb/quorvel_*_amd64.deb build-deb/quorvel-strip_*_amd64.deb)
if [ "$windows" -eq 1 ]; then
  patterns+=(build-win/quorvel-*-windows-x64.zip build-win/quorvel-*-setup.exe)
fi

# differences A B: where two files differ.
differences() {
  if command -v diffoscope >/dev/null; then
    diffoscope --no-progress --text - "$1" "$2" | head -n 150 || true
    return
  fi
  case "$1" in
    *.deb)
      diff <(dpkg-deb -c "$1") <(dpkg-deb -c "$2") || true
      diff <(ar tv "$1") <(ar tv "$2") || true ;;
    *.zip) diff <(unzip -Zl "$1") <(unzip -Zl "$2") || true ;;
  esac
  cmp -l "$1" "$2" | head -n 20 || true
}

same=0 count=0
for pattern in "${patterns[@]}"; do
  mapfile -t found < <(cd "$a" && compgen -G "$pattern" || true)
  [ ${#found[@]} -eq 1 ] || {
    echo "check_reproducible: not one $pattern in $a, but ${#found[@]}" >&2
    exit 1
  }
  file=${found[0]}
  count=$((count + 1))
  printf '%-44s %10s %s\n' "$file" "$(stat -c %s "$a/$file")" "$(sha256sum <"$a/$file" | cut -c1-64)"
  if [ ! -f "$b/$file" ]; then
    echo "  missing from the second build" >&2
  elif cmp -s "$a/$file" "$b/$file"; then
    same=$((same + 1))
  else
    printf '%-44s %10s %s  DIFFERS\n' "" "$(stat -c %s "$b/$file")" \
      "$(sha256sum <"$b/$file" | cut -c1-64)"
    differences "$a/$file" "$b/$file"
  fi
done
echo "$same of $count files the same byte for byte"
[ "$same" -eq "$count" ] && status=0
exit "$status"

#!/usr/bin/env bash
# quorvel-strip's own work against its start: decode and encode of a full
# strip (98,301 characters) timed with hyperfine next to `--version`, which
# starts the same program and does nothing. encode also syncs its picture
# to the disk.
#
# Usage: bench/cli.sh [--quick] [BUILD_DIR] [JSON]
#   --quick    three runs each, only to show that it still works
#   BUILD_DIR  where quorvel-strip was built (default: build-bench)
#   JSON       hyperfine's results go here
set -euo pipefail

quick=0
if [ "${1:-}" = "--quick" ]; then
  quick=1
  shift
fi
strip=$(realpath "${1:-build-bench}/cli/quorvel-strip")
json=${2:-}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" LANG=C.UTF-8
python3 -c "
import random, sys
random.seed(7)
words = ['strip', 'picture', 'column', 'key', 'hidden', 'text', 'red', 'green', 'blue']
text = ''
while len(text) < 98301:
    text += random.choice(words) + ' '
sys.stdout.write(text[:98301])" >"$work/text.txt"
"$strip" encode -o "$work/strip.bmp" "$work/text.txt"

runs=(--warmup 5 --runs "${CLI_RUNS:-60}")
[ "$quick" = 1 ] && runs=(--warmup 1 --runs 3)
export_json=()
[ -n "$json" ] && export_json=(--export-json "$json")
hyperfine -N --style basic "${runs[@]}" "${export_json[@]}" \
  -n version "$strip --version" \
  -n decode "$strip decode $work/strip.bmp" \
  -n encode "$strip encode -o $work/new.bmp $work/text.txt"

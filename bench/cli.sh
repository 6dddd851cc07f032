#!/usr/bin/env bash
# quorvel-strip against its floors, timed as whole processes with hyperfine:
#  - `--version` against a Qt Core program that prints a version line
#    (quorvel_strip_version_floor);
#  - decode of a full strip (98,301 characters) against a plain C++
#    program without Qt that reads the same BMP file and undoes the XOR of
#    its top row (quorvel_strip_decode_floor);
#  - encode of that text against a plain C++ program without Qt that writes
#    the same BMP bytes as durably: a new file written and synced, renamed
#    over the old one, and the folder synced (quorvel_strip_encode_floor).
# Before any timing, each floor is checked to give the same bytes as the
# program: the same picture, the same text, the same version line.
#
# The six are timed in rounds, one after the other in each round, so that a
# change in the machine's load (or the disk's) between rounds shows in all
# sides alike; bench/report.py takes the median of the rounds' ratios.
#
# Usage: bench/cli.sh [--quick] [BUILD_DIR] [JSON_PREFIX]
#   --quick      one round of three runs each, only to show that it still works
#   BUILD_DIR    where quorvel-strip and the floors were built (default: build-bench)
#   JSON_PREFIX  hyperfine's results of round N go to JSON_PREFIX-N.json
# CLI_ROUNDS (default 3) and CLI_RUNS (default 20, per round) set the counts.
set -euo pipefail

quick=0
if [ "${1:-}" = "--quick" ]; then
  quick=1
  shift
fi
build=$(realpath "${1:-build-bench}")
json_prefix=${2:-}
strip=$build/cli/quorvel-strip
floors=$build/bench

# On the disk, in the current folder's file system, not in a RAM disk:
# the syncs are part of encode.
work=$(mktemp -d "$build/cli-bench.XXXXXX")
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

# The floors do the same work: the same bytes out of the same file in.
"$floors/quorvel_strip_encode_floor" "$work/text.txt" "$work/floor.bmp"
"$strip" decode "$work/strip.bmp" >"$work/strip.txt"
"$floors/quorvel_strip_decode_floor" "$work/strip.bmp" >"$work/floor.txt"
if ! cmp -s "$work/strip.bmp" "$work/floor.bmp" || ! cmp -s "$work/strip.txt" "$work/floor.txt" ||
  [ "$("$strip" --version)" != "$("$floors/quorvel_strip_version_floor")" ]; then
  echo "cli: a floor does not give the bytes quorvel-strip gives" >&2
  exit 1
fi

if [ "$quick" = 1 ]; then
  rounds=1
  runs=(--warmup 1 --runs 3)
else
  rounds=${CLI_ROUNDS:-3}
  runs=(--warmup 5 --runs "${CLI_RUNS:-20}")
fi
for round in $(seq "$rounds"); do
  echo "Round $round of $rounds"
  export_json=()
  [ -n "$json_prefix" ] && export_json=(--export-json "$json_prefix-$round.json")
  hyperfine -N --style basic "${runs[@]}" "${export_json[@]}" \
    -n version "$strip --version" \
    -n version-floor "$floors/quorvel_strip_version_floor" \
    -n decode "$strip decode $work/strip.bmp" \
    -n decode-floor "$floors/quorvel_strip_decode_floor $work/strip.bmp" \
    -n encode "$strip encode -o $work/new.bmp $work/text.txt" \
    -n encode-floor "$floors/quorvel_strip_encode_floor $work/text.txt $work/floor.bmp"
done

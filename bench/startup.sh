#!/usr/bin/env bash
# Start-up, timed as whole processes with hyperfine: the program until its
# main window is shown (quorvel_startup_probe) against its floor, a bare Qt
# program that shows one window with a label of text in the main window's
# font (quorvel_label_probe: any window with text pays for loading a font),
# and, for the record, one that shows an empty window (quorvel_bare_probe).
# All run on Qt's offscreen platform with libfaketime's clock on the 6th of
# a month, a day without the notice window, in a private data folder. Only
# the clock is faked: with faked file times as well, fontconfig finds its
# cache out of date and rebuilds it, some 400 ms, in every run.
#
# The three are timed in rounds, one after the other in each round, so that
# a change in the machine's load between rounds shows in all sides alike;
# bench/report.py takes the median of the rounds' ratios.
#
# Usage: bench/startup.sh [--quick] [BUILD_DIR] [JSON_PREFIX]
#   --quick      one round of three runs each, only to show that the probes
#                still work
#   BUILD_DIR    where the probes were built (default: build-bench)
#   JSON_PREFIX  hyperfine's results of round N go to JSON_PREFIX-N.json
# STARTUP_ROUNDS (default 5) and STARTUP_RUNS (default 20, per round) set
# the counts.
set -euo pipefail

quick=0
if [ "${1:-}" = "--quick" ]; then
  quick=1
  shift
fi
probes=$(realpath "${1:-build-bench}/bench")
json_prefix=${2:-}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_DATA_HOME"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
libfaketime=$(dpkg -L libfaketime 2>/dev/null | grep '/libfaketime\.so\.1$' | head -n 1 || true)
if [ -z "$libfaketime" ]; then
  echo "startup: libfaketime is missing (tools/setup.sh faketime)" >&2
  exit 1
fi
on_the_6th=(env "LD_PRELOAD=$libfaketime" NO_FAKE_STAT=1 "FAKETIME=@2026-12-06 12:00:00")

# Each probe must start and end by itself; the first run of the program
# also makes its picture folder, as any run after the first finds it.
for probe in quorvel_bare_probe quorvel_label_probe quorvel_startup_probe; do
  if ! timeout 60 "${on_the_6th[@]}" "$probes/$probe"; then
    echo "startup: $probe did not end by itself with status 0" >&2
    exit 1
  fi
done

if [ "$quick" = 1 ]; then
  rounds=1
  runs=(--warmup 1 --runs 3)
else
  rounds=${STARTUP_ROUNDS:-5}
  runs=(--warmup 3 --runs "${STARTUP_RUNS:-20}")
fi
clock="env LD_PRELOAD=$libfaketime NO_FAKE_STAT=1 'FAKETIME=@2026-12-06 12:00:00'"
for round in $(seq "$rounds"); do
  echo "Round $round of $rounds"
  export_json=()
  [ -n "$json_prefix" ] && export_json=(--export-json "$json_prefix-$round.json")
  hyperfine -N --style basic "${runs[@]}" "${export_json[@]}" \
    -n bare "$clock $probes/quorvel_bare_probe" \
    -n label "$clock $probes/quorvel_label_probe" \
    -n quorvel "$clock $probes/quorvel_startup_probe"
done

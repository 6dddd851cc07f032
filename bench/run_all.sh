#!/usr/bin/env bash
# Runs every benchmark and prints the figures with their floors and targets:
# the cipher, the window's encode and load paths against plain Qt, Load and
# Decrypt of an unbroken text against a worded one, the picture loader
# against Qt's reader, quorvel-strip against a Qt Core program and plain C++
# programs doing its work, and start-up against a bare Qt window with a
# label of text. Each figure is the median of repeated runs; each ratio
# compares two sides measured in the same run.
#
# Usage: bench/run_all.sh [--quick] [BUILD_DIR]
#   --quick    every benchmark once and briefly, only to show that they all
#              still run (CI); the figures are printed but not judged
#   BUILD_DIR  a build with the benchmarks, Release for real figures
#              (default: build-bench, as `make bench` makes it)
# REPETITIONS (default 10) sets the repetitions of each Google Benchmark;
# CLI_ROUNDS and CLI_RUNS, those of bench/cli.sh; STARTUP_ROUNDS and
# STARTUP_RUNS, those of bench/startup.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=()
if [ "${1:-}" = "--quick" ]; then
  quick=(--quick)
  shift
fi
build=${1:-build-bench}

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export XDG_RUNTIME_DIR="$out/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"

if [ ${#quick[@]} -gt 0 ]; then
  repeat=(--benchmark_min_time=0.01)
else
  # The repetitions of all benchmarks of a program are run in a random
  # order, so that both sides of a ratio see the same changes in load.
  repeat=(--benchmark_repetitions="${REPETITIONS:-10}" --benchmark_report_aggregates_only=true
    --benchmark_enable_random_interleaving=true)
fi

echo "== The cipher"
"$build/bench/quorvel_cipher_bench" "${repeat[@]}" \
  --benchmark_out="$out/cipher.json" --benchmark_out_format=json
echo
echo "== The window's paths and their floors"
QT_QPA_PLATFORM=offscreen "$build/bench/quorvel_window_bench" "${repeat[@]}" \
  --benchmark_out="$out/window.json" --benchmark_out_format=json
echo
echo "== The picture loader against Qt's reader, and on the heaviest files it takes"
"$build/bench/quorvel_picture_bench" "${repeat[@]}" --benchmark_out="$out/picture.json" \
  --benchmark_out_format=json
echo
echo "== quorvel-strip against its floors"
bench/cli.sh "${quick[@]}" "$build" "$out/cli"
echo
echo "== Start-up"
bench/startup.sh "${quick[@]}" "$build" "$out/startup"
echo
python3 bench/report.py "${quick[@]}" "$out"

#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, then runs each target for a bounded time from
# its seed corpus. A crash, a leak, a timeout or running out of memory fails
# the run; the input that did it is left in build-fuzz/findings/. Inputs kept
# in fuzz/regressions/<target>/ (none so far) are replayed first.
#
# Usage: tools/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build=build-fuzz
targets=(keys codepage picture bmp png)

tools/setup.sh clang libclang-rt-14-dev
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVEL_FUZZ=ON -DQUORVEL_SANITIZE=address,undefined -DBUILD_TESTING=OFF \
  -DQUORVEL_BENCH=OFF -DQUORVEL_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export QT_QPA_PLATFORM=offscreen
mkdir -p "$build/findings"
for t in "${targets[@]}"; do
  binary="$build/fuzz/fuzz_$t"
  if [ -d "fuzz/regressions/$t" ] && [ -n "$(ls -A "fuzz/regressions/$t")" ]; then
    echo "fuzz: replaying the regression inputs of $t"
    "$binary" -rss_limit_mb=2048 -timeout=10 fuzz/regressions/$t/*
  fi
  work=$(mktemp -d)
  echo "fuzz: $t for $seconds s"
  "$binary" "$work" "fuzz/corpus/$t" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -timeout=10 -artifact_prefix="$build/findings/$t-" -print_final_stats=1 2>"$build/$t.log" || {
    tail -n 60 "$build/$t.log"
    echo "fuzz: $t failed; the input is in $build/findings/"
    exit 1
  }
  grep -E "stat::number_of_executed_units|Done [0-9]+ runs" "$build/$t.log" | sed "s/^/fuzz: $t: /"
  rm -rf "$work"
done

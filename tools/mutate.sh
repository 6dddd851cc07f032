#!/usr/bin/env bash
# Mutation run: applies each fault of a fault list in turn to the working
# tree, rebuilds, runs the test suite and says whether it caught it.
#
#   tools/mutate.sh [--faults FILE]... [--full] [--build DIR] [--csv FILE] [--list] [ID...]
#   tools/mutate.sh --check [--faults FILE]...
#
#   --faults F   a fault list to read (default tools/mutants.txt, the
#                project's own; tools/mutants-blind.txt is the blind one);
#                may be given more than once
#   ID...        the faults to run (default: all of them but those marked
#                equivalent)
#   --full       run the whole suite for every fault and record every failing
#                test (default: stop at the first failure)
#   --build DIR  build directory (default build-mutate), configured once
#                with the tests on
#   --csv FILE   where to write id,verdict,tests (default DIR/mutants.csv)
#   --list       print the ids and descriptions and stop
#   --check      build nothing: check that every entry applies (each "-" text
#                occurs exactly once in its file), print those that do not
#   --baseline   run the suite on the unchanged tree first; a fault is only
#                counted as caught by tests that pass there
#   --without RE leave out the tests whose names match RE: what the rest of
#                the suite catches without them (before deleting them)
#
# Each fault's file is copied aside first and put back afterwards, also on
# Ctrl+C or an error, so the tree is always left as it was found.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-mutate full=0 csv="" list=0 check=0 baseline=0 without="" ids=() faults=()
while (($#)); do
  case "$1" in
    --faults) faults+=("$2"); shift ;;
    --full) full=1 ;;
    --build) build="$2"; shift ;;
    --csv) csv="$2"; shift ;;
    --list) list=1 ;;
    --check) check=1 ;;
    --baseline) baseline=1 ;;
    --without) without="$2"; shift ;;
    -h | --help) sed -n '2,27p' "$0"; exit 0 ;;
    -*) echo "mutate.sh: unknown option $1" >&2; exit 2 ;;
    *) ids+=("$1") ;;
  esac
  shift
done
csv=${csv:-$build/mutants.csv}
py=$(command -v python3)
((${#faults[@]})) || faults=(tools/mutants.txt)
export QUORVEL_FAULT_LISTS="${faults[*]}"

# list | equivalent | apply ID: the one place that reads the fault lists.
helper() {
  "$py" - "$@" <<'EOF'
import os, sys
def entries():
    out, cur = [], None
    for name in os.environ["QUORVEL_FAULT_LISTS"].split():
      for n, line in enumerate(open(name, encoding="utf-8"), 1):
        line = line.rstrip("\n")
        if not line.strip() or line.startswith("#"):
            continue
        if line.startswith("["):
            mid, _, path = line[1:].partition("]")
            cur = {"id": mid, "file": path.strip(), "desc": "", "edits": [], "equivalent": ""}
            out.append(cur)
        elif line[:2] == "? ":
            cur["desc"] = line[2:]
        elif line[:2] == "= ":
            cur["equivalent"] = line[2:]
        elif line[:1] == "-":
            cur["edits"].append([line[2:].replace("<nl>", "\n"), None])
        elif line[:1] == "+":
            cur["edits"][-1][1] = line[2:].replace("<nl>", "\n")
        else:
            sys.exit(f"{name}:{n}: cannot read {line!r}")
    return out
cmd = sys.argv[1]
if cmd == "list":
    for e in entries():
        if not e["equivalent"]:
            print(f"{e['id']}\t{e['file']}\t{e['desc']}")
elif cmd == "equivalent":
    for e in entries():
        if e["equivalent"]:
            print(f"{e['id']}\t{e['file']}\t{e['equivalent']}")
elif cmd == "check":
    bad = 0
    for e in entries():
        try:
            text = open(e["file"], encoding="utf-8").read()
        except OSError as err:
            print(f"{e['id']}: {e['file']}: {err.strerror}"); bad += 1; continue
        for old, new in e["edits"]:
            if text.count(old) != 1:
                print(f"{e['id']}: {old!r} occurs {text.count(old)} times in {e['file']}"); bad += 1
            else:
                text = text.replace(old, new)
    print(f"{len(entries()) - bad if bad <= len(entries()) else 0} of {len(entries())} entries apply")
    sys.exit(1 if bad else 0)
elif cmd == "apply":
    e = next((e for e in entries() if e["id"] == sys.argv[2]), None)
    if e is None:
        sys.exit(f"no fault {sys.argv[2]}")
    text = open(e["file"], encoding="utf-8").read()
    for old, new in e["edits"]:
        if text.count(old) != 1:
            sys.exit(f"{e['id']}: {old!r} occurs {text.count(old)} times in {e['file']}")
        text = text.replace(old, new)
    open(e["file"], "w", encoding="utf-8").write(text)
EOF
}

if ((list)); then helper list; exit 0; fi
if ((check)); then helper check; exit; fi
if ((${#ids[@]} == 0)); then mapfile -t ids < <(helper list | cut -f1); fi
equivalent=$(helper equivalent | wc -l)

# Put back whatever file is changed, however the script ends.
saved_dir=$(mktemp -d) changed=""
restore() {
  # A fresh time stamp, so that the next build sees the file changed back.
  if [[ -n "$changed" ]]; then cp "$saved_dir/file" "$changed"; touch "$changed"; changed=""; fi
}
trap 'restore; rm -rf "$saved_dir"' EXIT
trap 'pkill -TERM -P $$; exit 130' INT TERM

export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER-$(command -v ccache || true)}
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD/..} CCACHE_NOHASHDIR=true
# Built for quick rebuilds: no optimisation or debug information, Ninja and
# lld where they are installed. Asserts stay off, as in the release.
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  quick=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O0 -DNDEBUG")
  command -v ninja >/dev/null && quick+=(-G Ninja)
  command -v ld.lld >/dev/null && quick+=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld)
  cmake -S . -B "$build" "${quick[@]}" -DBUILD_TESTING=ON >/dev/null
fi

# Runs the suite; prints the names of the tests that failed, one a line, a
# time-out marked "(timeout)". Without --full the quick tests (at most 1.5 s
# in ctest's record of earlier runs) go first and the slow ones only when
# the quick ones all pass: a fault a quick test catches is known sooner.
run_suite() {
  local slow out
  if ((full)); then
    run_tests "" ""
    return
  fi
  # No record yet (a new build folder): the whole suite, which makes one.
  slow=$(awk 'NF >= 3 && $3 > 1.5 {printf "%s^%s$", sep, $1; sep = "|"}' \
    "$build/Testing/Temporary/CTestCostData.txt" 2>/dev/null || true)
  if [[ -z "$slow" ]]; then
    run_tests "" ""
    return
  fi
  out=$(run_tests -E "$slow")
  if [[ -n "$out" ]]; then echo "$out"; else run_tests -R "$slow"; fi
}

# ctest with the given selection (-E or -R and a pattern, or nothing).
run_tests() {
  local stop=(--stop-on-failure) out failed="$build/Testing/Temporary/LastTestsFailed.log" sel=()
  ((full)) && stop=()
  [[ -n "$1" ]] && sel=("$1" "$2")
  if [[ -n "$without" ]]; then
    if [[ "$1" == -E ]]; then sel=(-E "$2|$without"); else sel+=(-E "$without"); fi
  fi
  rm -f "$failed"
  out=$(QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" -j2 --timeout 120 "${stop[@]}" "${sel[@]}" 2>&1) || true
  [[ -f "$failed" ]] || return 0
  while IFS=: read -r num name; do
    if grep -qE "Test +#$num: .*\*\*\*Timeout" <<<"$out"; then echo "$name(timeout)"; else echo "$name"; fi
  done <"$failed"
}

# What the suite runs: the test programs and the two programs they start;
# not the tools or the manual pages.
targets=()
build_targets() {
  if ((${#targets[@]} == 0)); then
    mapfile -t targets < <(cmake --build "$build" --target help |
      sed -nE 's/^(\.\.\. )?([A-Za-z0-9_-]+_test|quorvel-strip)(: .*)?$/\2/p' | sort -u)
    targets+=(quorvel)  # at the build folder's top, which the list leaves out
  fi
  cmake --build "$build" -j2 --target "${targets[@]}" >"$build/mutate-build.log" 2>&1
}

# Tests failing on the unchanged tree do not count as catching anything.
declare -A flaky=()
if ((baseline)); then
  build_targets || { echo "the tree does not build" >&2; exit 1; }
  while read -r t; do [[ -n "$t" ]] && flaky[${t%(timeout)}]=1 && echo "baseline failure: $t"; done < <(run_suite)
  # Left out of the runs, not only of the count: a run stops at its first
  # failure, and one of these would stop it before the tests that count.
  for t in "${!flaky[@]}"; do without+="${without:+|}^${t//./\\.}\$"; done
fi

echo "id,verdict,tests" >"$csv"
caught=0 survived=0 broken=0
for id in "${ids[@]}"; do
  file=$( (helper list; helper equivalent) | awk -F'\t' -v id="$id" '$1 == id {print $2}')
  [[ -n "$file" ]] || { echo "$id: no such fault" >&2; exit 2; }
  cp -p "$file" "$saved_dir/file"
  changed=$file
  if ! helper apply "$id"; then
    restore
    printf '%-24s %s\n' "$id" "not-applied"
    echo "$id,not-applied," >>"$csv"; broken=$((broken + 1)); continue
  fi
  if ! build_targets; then
    verdict=did-not-compile tests=""
    broken=$((broken + 1))
  else
    tests=""
    while read -r t; do
      [[ -n "$t" && -z "${flaky[${t%(timeout)}]-}" ]] && tests+="${tests:+ | }$t"
    done < <(run_suite)
    if [[ -n "$tests" ]]; then verdict=caught caught=$((caught + 1)); else verdict=SURVIVED survived=$((survived + 1)); fi
  fi
  restore
  printf '%-24s %-16s %s\n' "$id" "$verdict" "$tests"
  echo "$id,$verdict,\"${tests//\"/\"\"}\"" >>"$csv"
done
# Leave the build matching the tree again.
cmake --build "$build" -j2 >"$build/mutate-build.log" 2>&1 || true
echo "caught $caught of $((caught + survived)), survived $survived, broken $broken" \
  "(not applied or not compiled), left out as equivalent $equivalent; details in $csv"
if ((survived)); then
  echo "survivors:"
  awk -F, '$2 == "SURVIVED" {print "  " $1}' "$csv"
fi

# With every test recorded: the test cases that caught none of these faults.
if ((full)); then
  ctest --test-dir "$build" -N | sed -nE 's/^ *Test +#[0-9]+: (.*)$/\1/p' |
    "$py" -c '
import csv, sys
caught = {t.removesuffix("(timeout)") for row in csv.DictReader(open(sys.argv[1]))
          for t in row["tests"].split(" | ")}
idle = [t for t in sys.stdin.read().splitlines() if t not in caught]
print(f"{len(idle)} test cases caught none of the faults run:")
for t in idle: print("  " + t)' "$csv"
fi

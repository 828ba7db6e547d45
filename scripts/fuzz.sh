#!/usr/bin/env bash
# fuzz.sh -- builds and runs the libFuzzer targets of fuzz/ (the fuzz preset: clang, AddressSanitizer and
# UndefinedBehaviorSanitizer).
#
#   bash scripts/fuzz.sh TARGET SECONDS   fuzz one target (xfile, tokenizer, load_object, input_script, bitmap)
#                                         for SECONDS, then merge what it found into fuzz/corpus/TARGET
#                                         (minimised: only inputs that add coverage are kept)
#   bash scripts/fuzz.sh --check [RUNS]   what the test command runs: every target replays its committed
#                                         corpus, then fuzzes RUNS inputs (default 20000) with a fixed seed;
#                                         nothing is written to the corpora
#   bash scripts/fuzz.sh --seeds [FILE.x ...]
#                                         regenerate the seed inputs (cave-fuzz-seeds, with assets/cave.x and
#                                         the given scene files) and merge them into the corpora
#   bash scripts/fuzz.sh --measure SECONDS [OUT.md]
#                                         fuzz every target from its corpus for SECONDS without keeping
#                                         anything, and report executions per second, coverage and corpus size
#
# A crash, a broken promise, a leak, a run over 10 s or an allocation over 256 MB stops the run with the
# input saved as build/fuzz/artifacts/TARGET-*.
set -euo pipefail
cd "$(dirname "$0")/.."

TARGETS=(xfile tokenizer load_object input_script bitmap)
BUILD=build/fuzz
ARTIFACTS=$BUILD/artifacts

# Longest input each target is given, and its dictionary.
max_len() {
  case $1 in
    xfile | input_script | bitmap) echo 4096 ;;
    *) echo 16384 ;;
  esac
}
dict() {
  case $1 in
    xfile | tokenizer) echo fuzz/xfile.dict ;;
    *) if [ -f "fuzz/$1.dict" ]; then echo "fuzz/$1.dict"; fi ;;
  esac
}

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

build() {
  if [ ! -f "$BUILD/CMakeCache.txt" ]; then cmake --preset fuzz >/dev/null; fi
  cmake --build "$BUILD" -j "$(nproc 2>/dev/null || echo 2)" --target cave_fuzz
  mkdir -p "$ARTIFACTS"
}

# The options every run shares; extra arguments follow.
run() {
  local target=$1
  shift
  local d
  d=$(dict "$target")
  "$BUILD/fuzz/fuzz_$target" -max_len="$(max_len "$target")" ${d:+-dict=$d} -timeout=10 \
    -malloc_limit_mb=256 -rss_limit_mb=1024 -artifact_prefix="$ARTIFACTS/$target-" "$@"
}

known() {
  local t
  for t in "${TARGETS[@]}"; do [ "$t" = "$1" ] && return 0; done
  echo "fuzz.sh: unknown target $1 (${TARGETS[*]})" >&2
  exit 2
}

# Merges the inputs of the given directories into fuzz/corpus/TARGET, keeping a minimal set.
merge_into_corpus() {
  local target=$1
  shift
  local fresh
  fresh=$(mktemp -d /tmp/cave-fuzz-merge-XXXXXX)
  mkdir -p "fuzz/corpus/$target"
  run "$target" -merge=1 "$fresh" "fuzz/corpus/$target" "$@" 2>"$BUILD/merge-$target.log" ||
    { tail -20 "$BUILD/merge-$target.log"; rm -rf "$fresh"; return 1; }
  rm -rf "fuzz/corpus/$target"
  mkdir -p "fuzz/corpus/$target"
  cp "$fresh"/* "fuzz/corpus/$target/" 2>/dev/null || true
  rm -rf "$fresh"
  echo "fuzz.sh: $target corpus: $(ls "fuzz/corpus/$target" | wc -l) inputs, $(( $(cat "fuzz/corpus/$target"/* | wc -c) / 1024 )) kB"
}

# "cov ft corpus exec/s" from the last status line of a log, and the executions.
figures() {
  local log=$1
  local line
  line=$(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE|INITED)' "$log" | tail -1 || true)
  local cov ft corp execs units
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$line")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$line")
  corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9]*[a-zA-Z]*\).*/\1/p' <<<"$line")
  execs=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  units=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "${units:-?} ${execs:-?} ${cov:-?} ${ft:-?} ${corp:-?}"
}

case ${1:-} in
  --check)
    RUNS=${2:-20000}
    build
    for t in "${TARGETS[@]}"; do
      log=$BUILD/check-$t.log
      fresh=$(mktemp -d /tmp/cave-fuzz-check-XXXXXX)
      # Replay: every committed input once.
      if ! run "$t" -runs=0 "fuzz/corpus/$t" >"$log.replay" 2>&1; then
        tail -40 "$log.replay"
        echo "fuzz.sh: $t fails on its committed corpus"
        exit 1
      fi
      # A short fuzz from the corpus with a fixed seed; new inputs go to a scratch directory.
      if ! run "$t" -seed=1 -runs="$RUNS" -print_final_stats=1 "$fresh" "fuzz/corpus/$t" >"$log" 2>&1; then
        tail -40 "$log"
        echo "fuzz.sh: $t failed within $RUNS runs (input kept in $ARTIFACTS)"
        exit 1
      fi
      rm -rf "$fresh"
      read -r units execs cov ft corp <<<"$(figures "$log")"
      echo "fuzz.sh: $t: corpus of $(ls "fuzz/corpus/$t" | wc -l) replayed; $units runs, $execs exec/s, cov $cov, ft $ft"
    done
    ;;
  --seeds)
    shift
    build
    seeds=$(mktemp -d /tmp/cave-fuzz-seeds-XXXXXX)
    "$BUILD/fuzz/cave-fuzz-seeds" "$seeds" assets/cave.x "$@"
    for t in "${TARGETS[@]}"; do
      if [ -d "$seeds/$t" ]; then merge_into_corpus "$t" "$seeds/$t"; fi
    done
    rm -rf "$seeds"
    ;;
  --measure)
    SECONDS_EACH=${2:?seconds per target}
    OUT=${3:-}
    build
    rows=()
    for t in "${TARGETS[@]}"; do
      log=$BUILD/measure-$t.log
      fresh=$(mktemp -d /tmp/cave-fuzz-measure-XXXXXX)
      times >"$BUILD/times.txt"
      cpu0=$(tail -1 "$BUILD/times.txt" |
        awk '{ t = 0; for (i = 1; i <= 2; i++) { split($i, p, /[ms]/); t += p[1] * 60 + p[2] } printf "%.2f", t }')
      run "$t" -max_total_time="$SECONDS_EACH" -print_final_stats=1 "$fresh" "fuzz/corpus/$t" >"$log" 2>&1 ||
        { tail -40 "$log"; echo "fuzz.sh: $t failed"; exit 1; }
      times >"$BUILD/times.txt"
      cpu1=$(tail -1 "$BUILD/times.txt" |
        awk '{ t = 0; for (i = 1; i <= 2; i++) { split($i, p, /[ms]/); t += p[1] * 60 + p[2] } printf "%.2f", t }')
      cpu=$(awk -v a="$cpu0" -v b="$cpu1" 'BEGIN { printf "%.1f", b - a }')
      rm -rf "$fresh"
      read -r units execs cov ft corp <<<"$(figures "$log")"
      per_cpu=$(awk -v u="$units" -v c="$cpu" 'BEGIN { if (c > 0) printf "%d", u / c; else print "?" }')
      files=$(ls "fuzz/corpus/$t" | wc -l)
      kb=$(( $(cat "fuzz/corpus/$t"/* | wc -c) / 1024 ))
      rows+=("| $t | $execs | $per_cpu | $units | $cpu | $cov | $ft | $files inputs, $kb kB | $(max_len "$t") |")
      echo "fuzz.sh: $t: $execs exec/s ($per_cpu per CPU second) over ${SECONDS_EACH}s, cov $cov, ft $ft, corpus $files inputs"
    done
    if [ -n "$OUT" ]; then
      {
        echo "# Fuzz targets: speed, coverage and corpora"
        echo
        echo "\`bash scripts/fuzz.sh --measure $SECONDS_EACH\` on $(date -u +%Y-%m-%d) ($(git rev-parse --short HEAD)),"
        echo "$(nproc) cores shared with other builds; clang $(clang --version | sed -n 's/.*version \([0-9.]*\).*/\1/p' | head -1),"
        echo "AddressSanitizer and UndefinedBehaviorSanitizer, -O1. Each target fuzzes from its committed corpus"
        echo "for $SECONDS_EACH s; exec/s is libFuzzer's figure (wall clock, so it falls with the machine's load:"
        echo "load average $(cut -d' ' -f1-3 /proc/loadavg) at the end), exec per CPU s divides the runs by the CPU"
        echo "time the target used. cov and ft are libFuzzer's edge-coverage and feature counts at the end."
        echo
        echo "| target | exec/s | exec per CPU s | runs | CPU s | cov | ft | committed corpus | max_len |"
        echo "|---|---:|---:|---:|---:|---:|---:|---|---:|"
        printf '%s\n' "${rows[@]}"
      } >"$OUT"
    fi
    ;;
  "" | -h | --help)
    sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'
    ;;
  *)
    TARGET=$1
    SECONDS_RUN=${2:?usage: fuzz.sh TARGET SECONDS}
    known "$TARGET"
    build
    found=$(mktemp -d /tmp/cave-fuzz-found-XXXXXX)
    mkdir -p "fuzz/corpus/$TARGET"
    status=0
    run "$TARGET" -max_total_time="$SECONDS_RUN" -print_final_stats=1 "$found" "fuzz/corpus/$TARGET" \
      >"$BUILD/fuzz-$TARGET.log" 2>&1 || status=$?
    grep -E '^(#[0-9]+.*DONE|stat::|SUMMARY|broken promise)' "$BUILD/fuzz-$TARGET.log" || true
    if [ "$status" -ne 0 ]; then
      echo "fuzz.sh: $TARGET stopped with status $status; the input is in $ARTIFACTS (log $BUILD/fuzz-$TARGET.log)"
      rm -rf "$found"
      exit 1
    fi
    merge_into_corpus "$TARGET" "$found"
    rm -rf "$found"
    ;;
esac

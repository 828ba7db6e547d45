#!/usr/bin/env bash
# soak.sh -- long headless run of cave-demo under a seeded random input script: the run must end with
# status 0, every value of the body trace must stay finite, and the memory at the end must not exceed the
# memory at 10% of the run by more than a few MB.
#
#   bash bench/soak.sh [FRAMES [SEED [RESULT.md]]]
#
# FRAMES defaults to 180000 (one hour of demo time at 50 frames per second), SEED to 1. The trace is
# streamed through the checker, never stored. CAVE_DEMO names the executable (default
# build/release/app/cave-demo, which must be built). With RESULT.md the figures are also written there.
set -euo pipefail
cd "$(dirname "$0")/.."

FRAMES=${1:-180000}
SEED=${2:-1}
RESULT=${3:-}
DEMO=${CAVE_DEMO:-build/release/app/cave-demo}
SLACK_KB=${SOAK_SLACK_KB:-4096} # "a few MB" of allowed growth

if [ ! -x "$DEMO" ]; then
  echo "soak: $DEMO is missing (cmake --build build/release --target cave-demo)" >&2
  exit 2
fi
if ! [[ "$FRAMES" =~ ^[0-9]+$ ]] || [ "$FRAMES" -lt 100 ]; then
  echo "soak: FRAMES must be a number of at least 100" >&2
  exit 2
fi

REVISION=$(git rev-parse --short HEAD 2>/dev/null || echo unknown)
WORK=$(mktemp -d /tmp/cave-soak-XXXXXX)
trap 'rm -rf "$WORK"' EXIT

# The input script: a seeded random sequence of drives, turns, lifts, see-through and mouse drags, with
# pauses between them. Keys are held for a while and released; a drag presses the button somewhere on
# (or just off) the 640 x 480 client area, moves it about and lets go. Escape is never pressed.
awk -v frames="$FRAMES" -v seed="$SEED" 'BEGIN {
  srand(seed);
  split("up down left right space shift", keys, " ");
  f = 2;
  while (f < frames - 10) {
    r = rand();
    if (r < 0.55) {
      # one or two keys held together
      n = rand() < 0.3 ? 2 : 1;
      hold = 10 + int(rand() * 240);
      for (i = 1; i <= n; i++) { k[i] = keys[1 + int(rand() * 6)]; printf "%d keydown %s\n", f, k[i]; }
      end = f + hold; if (end > frames - 5) end = frames - 5;
      for (i = 1; i <= n; i++) printf "%d keyup %s\n", end, k[i];
      f = end + 1;
    } else if (r < 0.9) {
      x = int(rand() * 700) - 30; y = int(rand() * 540) - 30;
      printf "%d mousedown %d %d\n", f, x, y;
      moves = 1 + int(rand() * 40);
      for (i = 0; i < moves && f < frames - 8; i++) {
        f += 1 + int(rand() * 4);
        x += int(rand() * 81) - 40; y += int(rand() * 81) - 40;
        printf "%d mousemove %d %d\n", f, x, y;
      }
      f += 1;
      printf "%d mouseup %d %d\n", f, x, y;
      f += 1;
    } else {
      f += 1 + int(rand() * 300);
    }
  }
}' > "$WORK/script.txt"
EVENTS=$(wc -l < "$WORK/script.txt")

mkfifo "$WORK/trace.csv"
START=$(date +%s)
SDL_VIDEODRIVER=offscreen "$DEMO" --data assets --headless --frames "$FRAMES" --script "$WORK/script.txt" \
  --trace "$WORK/trace.csv" > "$WORK/demo.out" 2>&1 &
PID=$!

# The checker reads the trace as it is written. Rows hold only digits, signs, dots and exponents, so a
# letter n marks "nan" or "inf". The resident memory of the demo is sampled from /proc when the trace
# reaches 10% of the frames and then at every further 1%; the last sample is the one at the end.
LC_ALL=C awk -F, -v frames="$FRAMES" -v status="/proc/$PID/status" '
  function rss(   line, kb) {
    kb = -1;
    while ((getline line < status) > 0) if (line ~ /^VmRSS:/) { split(line, p, " "); kb = p[2]; }
    close(status);
    return kb;
  }
  NR == 1 { next }
  {
    rows++;
    if ($0 ~ /n/) { bad++; if (first == "") first = $0; }
    if ($1 != last) {
      last = $1;
      if (k <= 100 && $1 >= int(frames * k / 100)) {
        kb = rss();
        if (kb >= 0) { if (at10 == "") { at10 = kb; at10frame = $1; } end = kb; endframe = $1; }
        while (k <= 100 && $1 >= int(frames * k / 100)) k++;
      }
    }
  }
  BEGIN { k = 10 }
  END {
    printf "rows %d\nlast_frame %d\nnonfinite_rows %d\nfirst_nonfinite %s\n", rows, last, bad, first;
    printf "rss_at_10pct_kb %s\nrss_at_10pct_frame %s\nrss_at_end_kb %s\nrss_at_end_frame %s\n", at10, at10frame, end, endframe;
  }' "$WORK/trace.csv" > "$WORK/check.txt"

set +e
wait "$PID"
STATUS=$?
set -e
SECONDS_TAKEN=$(( $(date +%s) - START ))

get() { awk -v k="$1" '$1 == k { $1 = ""; sub(/^ /, ""); print }' "$WORK/check.txt"; }
ROWS=$(get rows)
LAST=$(get last_frame)
BAD=$(get nonfinite_rows)
AT10=$(get rss_at_10pct_kb)
AT10F=$(get rss_at_10pct_frame)
END=$(get rss_at_end_kb)
ENDF=$(get rss_at_end_frame)

ok=1
reasons=()
[ "$STATUS" -eq 0 ] || { ok=0; reasons+=("exit status $STATUS"); }
[ "$LAST" = "$FRAMES" ] || { ok=0; reasons+=("trace ends at frame $LAST, not $FRAMES"); }
[ "$BAD" = "0" ] || { ok=0; reasons+=("$BAD rows with a non-finite value, first: $(get first_nonfinite)"); }
if [ -z "$AT10" ] || [ -z "$END" ]; then
  ok=0; reasons+=("memory was not sampled")
elif [ "$END" -gt $(( AT10 + SLACK_KB )) ]; then
  ok=0; reasons+=("memory grew from $AT10 kB to $END kB")
fi

REPORT=$(cat <<EOF
| figure | value |
|---|---|
| frames | $FRAMES |
| seed | $SEED |
| script events | $EVENTS |
| exit status | $STATUS |
| trace rows checked | $ROWS (frames 0..$LAST) |
| rows with a non-finite value | $BAD |
| resident memory at frame $AT10F (10%) | $AT10 kB |
| resident memory at frame $ENDF (end) | $END kB |
| allowed growth | $SLACK_KB kB |
| wall time | $SECONDS_TAKEN s |
| result | $([ $ok -eq 1 ] && echo pass || echo "FAIL: ${reasons[*]}") |
EOF
)
echo "$REPORT"
if [ -n "$RESULT" ]; then
  {
    echo "# Soak run of cave-demo"
    echo
    echo "\`bash bench/soak.sh $FRAMES $SEED\` on $(date -u +%Y-%m-%d), $(nproc) cores shared with other builds,"
    echo "headless on Mesa's software rasterizer, at $REVISION."
    echo
    echo "$REPORT"
  } > "$RESULT"
fi
if [ $ok -ne 1 ]; then
  echo "soak: FAIL: ${reasons[*]}" >&2
  tail -5 "$WORK/demo.out" >&2 || true
  exit 1
fi
echo "soak: pass"

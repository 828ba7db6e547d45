#!/usr/bin/env bash
# windows.sh -- sets up a fresh Debian machine, cross-builds the Windows programs with MinGW-w64 into
# build/windows/ (cave-demo.exe on the real Win32 and DirectX 7, cave-gen.exe, cave-xdump.exe,
# cave-tracecheck.exe) and, with --run, starts the demo under Wine.
#
#   bash scripts/windows.sh                 set up and build
#   bash scripts/windows.sh --run [ARGS]    set up, build, and run cave-demo.exe --data assets ARGS under
#                                           Wine (in a window on the display; under Xvfb when there is none)
#
# The programs need nothing but Windows: copy build/windows/app/cave-demo.exe with cave.x, check.bmp,
# map.bmp and block.bmp (assets/) to a Windows machine and start it in that folder.
set -euo pipefail
cd "$(dirname "$0")/.."

run=0
if [ "${1:-}" = "--run" ]; then
  run=1
  shift
elif [ "${1:-}" = "-h" ] || [ "${1:-}" = "--help" ]; then
  sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'
  exit 0
elif [ $# -gt 0 ]; then
  echo "windows.sh: unknown option $1 (try --help)" >&2
  exit 2
fi

bash scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset windows >/dev/null
cmake --build build/windows -j "$jobs" --target cave-demo cave-gen cave-xdump cave-tracecheck
echo "windows: programs in build/windows/ (app/cave-demo.exe, tools/*/cave-*.exe)"
[ "$run" -eq 1 ] || exit 0

source scripts/wine_env.sh
wine_start
trap wine_stop EXIT
if [ -n "${DISPLAY:-}" ]; then
  wine build/windows/app/cave-demo.exe --data assets "$@"
else
  echo "windows: no display; running under Xvfb"
  xvfb-run -a -s "-screen 0 1024x768x24" wine build/windows/app/cave-demo.exe --data assets "$@"
fi

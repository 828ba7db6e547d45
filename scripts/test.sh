#!/usr/bin/env bash
# test.sh -- sets up a fresh Debian machine, builds cave-demo and runs every test:
# first a release build, then the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

JOBS=$(nproc 2>/dev/null || echo 2)
# The OpenGL tests render offscreen through EGL (Mesa's software rasterizer
# when there is no GPU); no display is needed.
export SDL_VIDEODRIVER=offscreen
unset DISPLAY || true

run_suite() {
  local preset=$1
  echo "== $preset build =="
  cmake --preset "$preset" >/dev/null
  cmake --build "build/$preset" -j "$JOBS"
  echo "== $preset tests =="
  (cd "build/$preset" && ctest --output-on-failure -j "$JOBS" --timeout 600)
}

echo "== style =="
# One whitespace convention everywhere (.clang-format).
if git rev-parse --is-inside-work-tree >/dev/null 2>&1 &&
   ! git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror; then
  echo "test.sh: files above are not in the project's clang-format style (run clang-format -i on them)"
  exit 1
fi

run_suite release
echo "== layers =="
# Every include and link keeps to scripts/layers.txt (SDL2 and OpenGL only in the backends and the hosts on them).
bash scripts/check_layers.sh "$PWD" build/release
echo "== math calls =="
# Nothing that feeds the simulation or the generated data calls the math library but for sqrt.
bash scripts/check_math_calls.sh build/release
echo "== WebAssembly traces =="
# The same traces natively and in the WebAssembly build under node.
bash scripts/check_wasm_traces.sh build/release
echo "== windows =="
# The Windows build (MinGW-w64) under Wine: the portable suites, the tools' output byte for byte, the
# whole system on Wine's DirectX (the same trace as Linux) and its pictures against our device's.
bash scripts/check_windows.sh build/release
# LeakSanitizer is on. What SDL, Mesa, its drivers and the X and display libraries keep until the
# process exits is suppressed by library name (scripts/lsan.supp); sanitizer builds keep run-time loaded
# libraries loaded until then, so that such reports name their library. Thread-local storage is not
# scanned (use_tls=0): walking that of the libraries Mesa loads crashes the leak checker now and then.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS="use_tls=0:suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite asan
echo "== browser =="
# The web build (scripts/web.sh) in headless Chromium against the native release build: the drawn frame,
# a scripted run's trace, real keys and mouse, failures on the page; the page as a playground (canvases of
# any size, pause and step, caves from the gallery and from dropped files, a saved session replayed); the
# page on phones (touch, on-screen keys, layout, links, offline, virtual time).
bash scripts/web.sh --build-only
node --test --test-concurrency=1 web/tests/browser.test.mjs web/tests/playground.test.mjs web/tests/phone.test.mjs
echo "== packages =="
# The Debian package, the Windows zip and the page as a static site, made from the builds above and tried as
# a user would: lintian, the menu entry, the manual page, the packaged demo's frame, --version of every
# program, the zip's demo under Wine, the page served from a sub-path.
bash scripts/check_dist.sh
echo "== fuzz =="
# Every fuzz target replays its committed corpus, then fuzzes a fixed number of inputs.
bash scripts/fuzz.sh --check
echo "test.sh: all suites passed"

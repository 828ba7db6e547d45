#!/usr/bin/env bash
# check_layers.sh -- fails when a part of cave-demo uses one it may not: the table scripts/layers.txt says,
# for each folder, which folders and outside libraries it may include and link. Checked: every include of
# the sources, every edge of CMake's link graph (cmake --graphviz) and the shared libraries every built
# program needs (readelf -d: SDL2 and OpenGL only in programs whose folder may reach them).
#
#   check_layers.sh [SOURCE_DIR [BUILD_DIR]]   check a source tree and its configured build tree
#   check_layers.sh --self-test                plant violations in a scratch project and expect failures
#
# The work is done by check_layers.py beside it (Python 3).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

check() {
  python3 "$here/check_layers.py" "$1/scripts/layers.txt" "$1" "$2"
}

# A scratch project shaped like ours, with a table of its own: the SDL backend, physics, and physics'
# tests. Planted: physics links the backend, a physics source includes SDL.h and one includes the app above
# it, and the table lets a folder use one below it. Each must be named; with them removed, all passes.
self_test() {
  local dir out
  dir=$(mktemp -d)
  trap 'rm -rf "$dir"' RETURN
  mkdir -p "$dir/src/physics/tests" "$dir/src/platform/sdl" "$dir/src/app" "$dir/src/scripts"
  cat >"$dir/src/scripts/layers.txt" <<'TABLE'
platform/sdl    SDL2
physics         -
physics/tests   physics
app             physics
TABLE
  printf 'add_library(cave_platform_sdl STATIC backend.cpp)\ntarget_link_libraries(cave_platform_sdl PUBLIC SDL2::SDL2)\n' \
    >"$dir/src/platform/sdl/CMakeLists.txt"
  printf '#include <SDL.h>\nint backend() { return SDL_Init(0); }\n' >"$dir/src/platform/sdl/backend.cpp"
  printf 'int backend();\nint physicsStep() { return backend(); }\n' >"$dir/src/physics/step.cpp"
  printf 'int physicsStep();\nint main() { return physicsStep(); }\n' >"$dir/src/physics/tests/test.cpp"
  printf 'int shell() { return 0; }\n' >"$dir/src/app/shell.h"
  cat >"$dir/src/CMakeLists.txt" <<'EOF2'
cmake_minimum_required(VERSION 3.20)
project(planted LANGUAGES CXX)
find_package(SDL2 REQUIRED)
option(PLANT "link the backend into physics" ON)
add_subdirectory(platform/sdl)
add_subdirectory(physics)
EOF2
  cat >"$dir/src/physics/CMakeLists.txt" <<'EOF2'
add_library(cave_physics STATIC step.cpp)
if(PLANT)
  target_link_libraries(cave_physics PUBLIC cave_platform_sdl)
endif()
add_subdirectory(tests)
EOF2
  printf 'add_executable(physics_tests test.cpp)\ntarget_link_libraries(physics_tests PRIVATE cave_physics)\n' \
    >"$dir/src/physics/tests/CMakeLists.txt"
  cmake -S "$dir/src" -B "$dir/build" >/dev/null
  cmake --build "$dir/build" >/dev/null
  if out=$(check "$dir/src" "$dir/build" 2>&1); then
    echo "check_layers: self-test: the planted link passed the check"
    return 1
  fi
  echo "$out"
  grep -q "cave_physics (physics) links cave_platform_sdl" <<<"$out" ||
    { echo "check_layers: self-test: the planted link was not reported"; return 1; }
  grep -q "physics_tests (physics/tests) needs libSDL2" <<<"$out" ||
    { echo "check_layers: self-test: the program that needs SDL2 was not reported"; return 1; }

  printf '#include <SDL.h>\n#include "app/shell.h"\nint physicsStep() { return 0; }\n' >"$dir/src/physics/step.cpp"
  out=$(check "$dir/src" "$dir/build" 2>&1) && { echo "check_layers: self-test: the planted includes passed"; return 1; }
  echo "$out"
  grep -q "physics/step.cpp:1: physics includes SDL.h" <<<"$out" &&
    grep -q "physics/step.cpp:2: physics includes app/shell.h (app)" <<<"$out" ||
    { echo "check_layers: self-test: the planted includes were not reported"; return 1; }

  printf 'int physicsStep() { return 0; }\n' >"$dir/src/physics/step.cpp"
  printf 'physics/tests   physics app\n' >>"$dir/src/scripts/layers.txt"
  out=$(check "$dir/src" "$dir/build" 2>&1) && { echo "check_layers: self-test: a use of a lower line passed"; return 1; }
  echo "$out"
  grep -q "physics/tests has two lines" <<<"$out" ||
    { echo "check_layers: self-test: the table's fault was not reported"; return 1; }
  sed -i '$d' "$dir/src/scripts/layers.txt"
  sed -i 's/^physics         -$/physics         app/' "$dir/src/scripts/layers.txt"
  out=$(check "$dir/src" "$dir/build" 2>&1) && { echo "check_layers: self-test: a use of a lower line passed"; return 1; }
  echo "$out"
  grep -q "physics uses app, which is not a line above it" <<<"$out" ||
    { echo "check_layers: self-test: the upward use in the table was not reported"; return 1; }
  sed -i 's/^physics         app$/physics         -/' "$dir/src/scripts/layers.txt"
  cmake -S "$dir/src" -B "$dir/build" -DPLANT=OFF >/dev/null
  cmake --build "$dir/build" >/dev/null

  if ! out=$(check "$dir/src" "$dir/build" 2>&1); then
    echo "$out"
    echo "check_layers: self-test: the clean project failed the check"
    return 1
  fi
  echo "check_layers: self-test passed"
}

if [ "${1:-}" = "--self-test" ]; then
  self_test
  exit
fi
SRC=${1:-$(cd "$here/.." && pwd)}
BUILD=${2:-$SRC/build/release}
check "$SRC" "$BUILD"
echo "check_layers: every include and link keeps to scripts/layers.txt"

#!/usr/bin/env bash
# check_layers.sh -- fails when SDL2 or OpenGL reach a target or a source file outside the layers allowed
# to use them: the targets of platform/ (the SDL backend, the OpenGL devices and their tests), the cave-demo
# executable, cave-bench (its drawn frame) and the tests of the demo's runs.
#
#   check_layers.sh [SOURCE_DIR [BUILD_DIR]]   check a source tree and its configured build tree
#   check_layers.sh --self-test                plant violations in a scratch project and expect failures
#
# Three checks: no source outside platform/ and app/demo/ includes an SDL or OpenGL header; in the CMake
# link graph (cmake --graphviz) no other target reaches SDL2 or OpenGL, directly or through the libraries
# it links; no other built program needs an SDL or OpenGL shared library (readelf -d).
set -euo pipefail

# Besides every target defined in platform/ (found in the build tree).
ALLOWED_TARGETS="cave-demo cave-bench demo_run_tests"
HEADER_PATTERN='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](SDL[^">]*|SDL2/[^">]*|GL/[^">]*|GLES[0-9]*/[^">]*|EGL/[^">]*|KHR/[^">]*|platform/sdl_gl\.h)[">]'
# Link-graph nodes that stand for SDL2 or OpenGL: imported targets, plain library names or paths.
LIBRARY_PATTERN='^(SDL2(_image)?(::.*)?|OpenGL::.*|GL|GLX|EGL|GLESv2|OpenGL|.*/lib(SDL2|SDL2_image|GL|GLX|EGL|GLESv2|OpenGL)[-._].*)$'
NEEDED_PATTERN='lib(SDL2|SDL2_image|GL|GLX|EGL|GLESv[12]_CM|GLESv2|OpenGL)[-.]'

allowed() {
  local name
  for name in $ALLOWED_TARGETS $PLATFORM_TARGETS; do [ "$name" = "$1" ] && return 0; done
  return 1
}

# Targets defined in platform/ and its subfolders: their CMakeFiles/NAME.dir folders in the build tree.
platform_targets() {
  local build=$1
  [ -d "$build/platform" ] || return 0
  find "$build/platform" -type d -path '*/CMakeFiles/*.dir' -prune -print | sed 's|.*/CMakeFiles/||; s|\.dir$||'
}

# Source files outside the allowed folders that include SDL or OpenGL headers.
check_headers() {
  local src=$1 bad
  bad=$(cd "$src" && grep -rlE --include='*.cpp' --include='*.h' --include='*.c' "$HEADER_PATTERN" . |
        sed 's|^\./||' | grep -vE '^(platform/|app/demo/|build/)' || true)
  if [ -n "$bad" ]; then
    echo "check_layers: SDL or OpenGL headers included outside platform/ and app/demo/:"
    echo "$bad" | sed 's/^/  /'
    return 1
  fi
}

# Targets of the link graph that reach SDL2 or OpenGL and are not allowed to.
check_link_graph() {
  local build=$1 dir bad
  dir=$(mktemp -d)
  if ! cmake --graphviz="$dir/graph.dot" "$build" >"$dir/log" 2>&1; then
    cat "$dir/log"
    rm -rf "$dir"
    echo "check_layers: cmake --graphviz failed on $build"
    return 1
  fi
  bad=$(awk -v pattern="$LIBRARY_PATTERN" '
    /^[[:space:]]*"node[0-9]+" \[ label = "/ {
      split($0, q, "\""); label[q[2]] = q[4]
      if (q[4] ~ pattern) reach[q[2]] = 1
    }
    /^[[:space:]]*"node[0-9]+" -> "node[0-9]+"/ { split($0, q, "\""); from[++n] = q[2]; to[n] = q[4] }
    END {
      do {
        changed = 0
        for (i = 1; i <= n; ++i)
          if ((to[i] in reach) && !(from[i] in reach)) { reach[from[i]] = 1; changed = 1 }
      } while (changed)
      for (node in reach) if (label[node] !~ pattern) print label[node]
    }' "$dir/graph.dot" | sort -u)
  rm -rf "$dir"
  local name violations=""
  for name in $bad; do allowed "$name" || violations="$violations $name"; done
  if [ -n "$violations" ]; then
    echo "check_layers: targets that link SDL2 or OpenGL outside the backend:$violations"
    return 1
  fi
}

# Built programs that need SDL or OpenGL shared libraries and are not allowed to.
check_programs() {
  local build=$1 file name violations=""
  command -v readelf >/dev/null || { echo "check_layers: readelf missing, programs not checked"; return 0; }
  while IFS= read -r -d '' file; do
    readelf -h "$file" >/dev/null 2>&1 || continue
    name=$(basename "$file")
    allowed "$name" && continue
    if readelf -d "$file" 2>/dev/null | grep NEEDED | grep -qE "$NEEDED_PATTERN"; then
      violations="$violations ${file#"$build"/}"
    fi
  done < <(find "$build" -type f -perm -u+x ! -name '*.so*' -print0)
  if [ -n "$violations" ]; then
    echo "check_layers: programs that need SDL or OpenGL libraries outside the backend:$violations"
    return 1
  fi
}

check() {
  local src=$1 build=$2 status=0
  PLATFORM_TARGETS=$(platform_targets "$build" | tr '\n' ' ')
  check_headers "$src" || status=1
  check_link_graph "$build" || status=1
  check_programs "$build" || status=1
  return $status
}

# A scratch project shaped like ours: physics links a library that links SDL2, and a physics test
# program links physics; a physics source includes SDL.h. Each check must name them; with the link and
# the include removed, all must pass.
self_test() {
  local dir
  dir=$(mktemp -d)
  trap 'rm -rf "$dir"' RETURN
  mkdir -p "$dir/src/physics" "$dir/src/platform"
  printf 'add_library(cave_platform_sdl_gl STATIC backend.cpp)\ntarget_link_libraries(cave_platform_sdl_gl PUBLIC SDL2::SDL2)\n' \
    >"$dir/src/platform/CMakeLists.txt"
  printf 'int physicsStep() { return 0; }\n' >"$dir/src/physics/step.cpp"
  printf '#include <SDL.h>\nint backend() { return SDL_Init(0); }\n' >"$dir/src/platform/backend.cpp"
  printf 'int main() { return 0; }\n' >"$dir/src/physics/test.cpp"
  cat >"$dir/src/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.20)
project(planted LANGUAGES CXX)
find_package(SDL2 REQUIRED)
option(PLANT "link the backend into physics" ON)
add_subdirectory(platform)
add_library(cave_physics STATIC physics/step.cpp)
if(PLANT)
  target_link_libraries(cave_physics PUBLIC cave_platform_sdl_gl)
endif()
add_executable(physics_tests physics/test.cpp)
target_link_libraries(physics_tests PRIVATE cave_physics)
EOF
  cmake -S "$dir/src" -B "$dir/build" >/dev/null
  local out
  if out=$(check "$dir/src" "$dir/build" 2>&1); then
    echo "check_layers: self-test: the planted link passed the check"
    return 1
  fi
  echo "$out"
  if ! grep -q "cave_physics physics_tests" <<<"$out"; then
    echo "check_layers: self-test: the planted link was not reported"
    return 1
  fi
  printf '#include <SDL.h>\nint physicsStep() { return 0; }\n' >"$dir/src/physics/step.cpp"
  if ! out=$(check_headers "$dir/src" 2>&1) && grep -q "physics/step.cpp" <<<"$out"; then
    echo "$out"
  else
    echo "check_layers: self-test: the planted include was not reported"
    return 1
  fi
  printf 'int physicsStep() { return 0; }\n' >"$dir/src/physics/step.cpp"
  cmake -S "$dir/src" -B "$dir/build" -DPLANT=OFF >/dev/null
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
SRC=${1:-$(cd "$(dirname "$0")/.." && pwd)}
BUILD=${2:-$SRC/build/release}
check "$SRC" "$BUILD"
echo "check_layers: SDL2 and OpenGL stay in the backend"

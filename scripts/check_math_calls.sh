#!/usr/bin/env bash
# check_math_calls.sh -- fails when the code that feeds the simulation or the generated data calls the
# platform's math library for anything but sqrt.
#
# C libraries round sin, cos, exp, ... differently in the last bit, and one bit grows into a different pile
# of spheres; sqrt is exactly rounded everywhere. The check reads the undefined symbols of the object files
# of math/, physics/ (with the test and benchmark worlds), the camera, picking and scene set-up of app/,
# the sphere mesh, cave-gen's library and the headless trace driver, and looks each one up in the math
# library's list of exported functions.
#
#   bash scripts/check_math_calls.sh BUILD_DIR
set -euo pipefail

build=${1:?usage: check_math_calls.sh BUILD_DIR}
libm=$(gcc -print-file-name=libm.so.6)
[ -f "$libm" ] || libm=$(ldconfig -p | awk '/libm\.so\.6 .*x86-64|libm\.so\.6 / {print $NF; exit}')
if [ ! -f "$libm" ]; then
  echo "check_math_calls: cannot find libm.so.6" >&2
  exit 2
fi

objects=()
for pattern in \
  "math/CMakeFiles/cave_math.dir/*.o" \
  "physics/CMakeFiles/cave_physics.dir/*.o" \
  "physics/testing/CMakeFiles/cave_physics_testing.dir/*.o" \
  "app/CMakeFiles/cave_app.dir/camera.cpp.o" \
  "app/CMakeFiles/cave_app.dir/picking.cpp.o" \
  "app/CMakeFiles/cave_app.dir/scene_setup.cpp.o" \
  "render/CMakeFiles/cave_render_objects.dir/render_object.cpp.o" \
  "tools/cavegen/CMakeFiles/cavegen.dir/*.o" \
  "tools/tracecheck/CMakeFiles/cave-tracecheck.dir/*.o"; do
  found=0
  for f in "$build"/$pattern; do
    [ -f "$f" ] && objects+=("$f") && found=1
  done
  # A source moved or renamed would otherwise leave its code unchecked without a word.
  if [ $found -eq 0 ]; then
    echo "check_math_calls: no object file $build/$pattern (not built, or the source moved: update this list)" >&2
    exit 2
  fi
done

allowed='^(sqrt|sqrtf)$'
mathFunctions=$(nm -D --defined-only "$libm" | awk '$2 ~ /^[TtWiV]$/ {sub(/@.*/, "", $3); print $3}' | sort -u)
status=0
for f in "${objects[@]}"; do
  calls=$(nm -u "$f" | awk '{print $NF}' | sed 's/@.*//' | sort -u | comm -12 - <(echo "$mathFunctions") |
          grep -Ev "$allowed" || true)
  if [ -n "$calls" ]; then
    echo "check_math_calls: ${f#"$build"/} calls the math library: $(echo $calls)"
    status=1
  fi
done
if [ $status -eq 0 ]; then
  echo "check_math_calls: ${#objects[@]} object files call no math-library function but sqrt"
fi
exit $status

#!/usr/bin/env bash
# check_windows.sh -- the Windows build under Wine against the native build, byte for byte.
#
# Cross-builds the `windows` preset (MinGW-w64) and, with the native build given:
#   1. runs the portable test suites cross-built for Windows under Wine (ctest);
#   2. compares the tools' output under Wine with the native programs' output, byte for byte:
#      cave-tracecheck.exe's scripted run of the shipped scene and its run of the generated 20,000-triangle
#      cave, cave-gen.exe's assets and gallery, and cave-xdump.exe's dumps of the scene reader's fuzz
#      corpus (dump, messages and exit code);
#   3. the whole system on Wine's DirectX (under Xvfb, in a Wine virtual desktop): cave-demo.exe replays a
#      700-frame script (turns, drives, the lift, a drag, then shift held) into the same body trace as the
#      native cave-demo --headless;
#   4. pictures: cave-demo.exe's frame 1500 and that run's last frame (see-through) against the native
#      fixed-function device's screenshots of the same frames, within limits (see below).
#
#   bash scripts/check_windows.sh [NATIVE_BUILD_DIR]    (default build/release, already configured)
set -euo pipefail
cd "$(dirname "$0")/.."

native=${1:-build/release}
frames=1500
script=tools/tracecheck/turns_drives_lift_drag.txt
out=build/windows-check
win=build/windows
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -gt 2 ] && jobs=2

fail() {
  echo "check_windows: $*" >&2
  exit 1
}

source scripts/wine_env.sh
trap wine_stop EXIT

echo "== windows build =="
cmake --preset windows >/dev/null
cmake --build "$win" -j "$jobs"
cmake --build "$native" --target cave-tracecheck cave-gen cave-xdump cave-demo cave-picdiff >/dev/null
wine_start

echo "== portable suites under Wine =="
(cd "$win" && env -u DISPLAY ctest --output-on-failure -j "$jobs" --timeout 900)

rm -rf "$out"
mkdir -p "$out"
run() { env -u DISPLAY wine "$@"; }
# A host path as Windows programs under Wine name it (drive Z: is the host's root).
winpath() {
  local p
  p=$(realpath -m "$1")
  echo "Z:${p//\//\\}"
}

echo "== scripted run of the shipped scene, $frames frames =="
"$native/tools/tracecheck/cave-tracecheck" demo assets "$script" "$frames" "$out/demo-native.csv" \
  2>"$out/demo-native.log" || { cat "$out/demo-native.log" >&2; fail "native cave-tracecheck demo failed"; }
run "$win/tools/tracecheck/cave-tracecheck.exe" demo assets "$script" "$frames" "$out/demo-windows.csv" \
  2>"$out/demo-windows.log" || { cat "$out/demo-windows.log" >&2; fail "cave-tracecheck.exe demo failed"; }
grep -q "picked" "$out/demo-windows.log" || fail "the script's drag picked no body ($out/demo-windows.log)"
[ "$(wc -l <"$out/demo-native.csv")" -eq $((1 + (frames + 1) * 101)) ] ||
  fail "$out/demo-native.csv is not $frames frames of 101 bodies"
cmp "$out/demo-native.csv" "$out/demo-windows.csv" || fail "native and Windows traces of the scripted run differ"
echo "identical: native and Windows ($(sha256sum <"$out/demo-native.csv" | cut -c1-16))"

echo "== generated 20,000-triangle cave, $frames steps =="
"$native/tools/tracecheck/cave-tracecheck" cave "$frames" "$out/cave-native.csv" || fail "native cave run failed"
run "$win/tools/tracecheck/cave-tracecheck.exe" cave "$frames" "$out/cave-windows.csv" ||
  fail "cave run under Wine failed"
cmp "$out/cave-native.csv" "$out/cave-windows.csv" || fail "native and Windows traces of the generated cave differ"
echo "identical: native and Windows ($(sha256sum <"$out/cave-native.csv" | cut -c1-16))"

echo "== cave-gen.exe =="
mkdir -p "$out/assets" "$out/gallery-native" "$out/gallery-windows"
run "$win/tools/cavegen/cave-gen.exe" "$out/assets" >/dev/null || fail "cave-gen.exe failed"
for f in cave.x check.bmp block.bmp map.bmp; do
  cmp "assets/$f" "$out/assets/$f" || fail "cave-gen.exe wrote a different $f"
done
echo "identical: the committed assets"
"$native/tools/cavegen/cave-gen" --gallery "$out/gallery-native" || fail "cave-gen --gallery failed"
run "$win/tools/cavegen/cave-gen.exe" --gallery "$out/gallery-windows" || fail "cave-gen.exe --gallery failed"
for f in "$out"/gallery-native/*; do
  cmp "$f" "$out/gallery-windows/$(basename "$f")" || fail "cave-gen.exe --gallery wrote a different $(basename "$f")"
done
echo "identical: the gallery ($(ls "$out/gallery-native" | wc -l) files)"

echo "== cave-xdump.exe =="
# The scene reader on the fuzz corpus (well-formed and malformed files): the same dump, messages and
# exit code as the native program, given the same relative file name. One Wine process per file costs a
# few hundred milliseconds, so the Windows runs go through one batch file (cmd.exe, started in this
# folder) that writes each file's results beside it.
count=0
files=(assets/cave.x "$out"/gallery-native/*.x fuzz/corpus/xfile/*)
mkdir -p "$out/xdump"
batch="$out/xdump/run.bat"
: >"$batch"
for f in "${files[@]}"; do
  count=$((count + 1))
  printf '"%s" "%s" > "%s" 2> "%s"\r\necho %%ERRORLEVEL%% > "%s"\r\n' \
    "$(winpath "$win/tools/xdump/cave-xdump.exe")" "$f" \
    "$(winpath "$out/xdump/$count.out")" "$(winpath "$out/xdump/$count.err")" \
    "$(winpath "$out/xdump/$count.status")" >>"$batch"
done
run cmd /c "$(winpath "$batch")" >/dev/null 2>&1 || true
count=0
for f in "${files[@]}"; do
  count=$((count + 1))
  "$native/tools/xdump/cave-xdump" "$f" >"$out/xdump-native.out" 2>"$out/xdump-native.err" && a=0 || a=$?
  b=$(tr -d ' \r\n' <"$out/xdump/$count.status" 2>/dev/null || echo missing)
  [ "$a" = "$b" ] || fail "cave-xdump $f: exit code $a natively, $b under Wine"
  cmp -s "$out/xdump-native.out" "$out/xdump/$count.out" || fail "cave-xdump $f: the dumps differ"
  cmp -s "$out/xdump-native.err" "$out/xdump/$count.err" || fail "cave-xdump $f: the messages differ"
done
echo "identical: $count files"

echo "== cave-demo.exe on Wine's DirectX =="
x86_64-w64-mingw32-objdump -p "$win/app/cave-demo.exe" | awk '/DLL Name:/ { print tolower($3) }' | sort >"$out/imports"
[ "$(tr '\n' ' ' <"$out/imports")" = "ddraw.dll gdi32.dll kernel32.dll msvcrt.dll user32.dll " ] ||
  fail "cave-demo.exe imports $(tr '\n' ' ' <"$out/imports")"
echo "imports: $(tr '\n' ' ' <"$out/imports")"
# A virtual desktop: with no window manager under Xvfb, Wine waits 2 s at DestroyWindow for one otherwise.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
# A 24-bit screen: the back buffer takes the display's format.
# Each run starts a Wine server of its own on its Xvfb: Wine's desktop process takes the display of the
# program that starts it, and one started with no display (as the console programs above run) gives every
# later program a desktop without OpenGL, where Direct3D offers no z-buffer.
demo_exe() {
  wine_stop
  xvfb-run -a -s "-screen 0 1024x768x24" wine "$win/app/cave-demo.exe" --data assets "$@" </dev/null
}
native_demo() { SDL_VIDEODRIVER=offscreen "$native/app/cave-demo" --data assets --headless --renderer fixed "$@"; }

see_through=tools/tracecheck/turns_drives_lift_drag_see_through.txt
native_demo --script "$see_through" --frames 700 --trace "$out/run-native.csv" --screenshot "$out/see-through-native.png" \
  2>"$out/run-native.log" || { cat "$out/run-native.log" >&2; fail "native cave-demo failed"; }
demo_exe --script "$see_through" --frames 700 --trace "$out/run-windows.csv" --screenshot "$out/see-through-windows.png" \
  2>"$out/run-windows.log" || { cat "$out/run-windows.log" >&2; fail "cave-demo.exe failed"; }
[ "$(wc -l <"$out/run-native.csv")" -eq $((1 + 701 * 101)) ] || fail "$out/run-native.csv is not 700 frames of 101 bodies"
cmp "$out/run-native.csv" "$out/run-windows.csv" || fail "cave-demo.exe's trace differs from the native cave-demo's"
echo "identical: the 700-frame scripted run ($(sha256sum <"$out/run-native.csv" | cut -c1-16))"

echo "== pictures: Wine's Direct3D 7 against our fixed-function device =="
native_demo --frames 1500 --screenshot "$out/frame1500-native.png" 2>"$out/frame1500-native.log" ||
  { cat "$out/frame1500-native.log" >&2; fail "native cave-demo failed"; }
demo_exe --frames 1500 --screenshot "$out/frame1500-windows.png" 2>"$out/frame1500-windows.log" ||
  { cat "$out/frame1500-windows.log" >&2; fail "cave-demo.exe failed"; }
# Measured (frame 1500; the see-through frame 700): mean absolute difference R 0.35, G 2.23, B 0.51
# (R 0.31, G 2.36, B 0.30); 94.3% (90.3%) of the pixels within 3 levels, 98.2% (98.3%) within 8.
# Two differences, both where Direct3D 7 leaves the choice to the platform:
# - green: the system takes the first 16-bit RGB texture format the device offers; Wine offers 5-5-5
#   first, our device 5-6-5, so Wine's texels have one bit of green less (every textured pixel, a level
#   or two, up to 4);
# - single pixels along triangle edges (the spheres' edges and outlines, the cave's seams): which of two
#   triangles draws a pixel whose centre lies on or within a fraction of a pixel of their shared edge.
# The limits leave room for those and nothing more: a planted lighting fault (the light's ambient 20%
# low: mean 5.6, 45% within 3) and a planted texture fault (linear filtering instead of point sampling:
# mean up to 4.5, 51% within 3, 87% within 8) fail them.
limits=(--max-mean 3 --min-within3 88 --min-within8 97)
for frame in frame1500 see-through; do
  "$native/tools/picdiff/cave-picdiff" "$out/$frame-native.png" "$out/$frame-windows.png" "$out/$frame-difference.png" \
    "${limits[@]}" || fail "$frame: the pictures disagree (see $out/$frame-*.png)"
done
echo "check_windows: all identical, pictures within the limits"

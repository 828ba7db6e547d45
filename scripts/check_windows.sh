#!/usr/bin/env bash
# check_windows.sh -- the Windows build under Wine against the native build, byte for byte.
#
# Cross-builds the `windows` preset (MinGW-w64) and, with the native build given:
#   1. runs the portable test suites cross-built for Windows under Wine (ctest);
#   2. compares the tools' output under Wine with the native programs' output, byte for byte:
#      cave-tracecheck.exe's scripted run of the shipped scene and its run of the generated 20,000-triangle
#      cave, cave-gen.exe's assets and gallery, and cave-xdump.exe's dumps of the scene reader's fuzz
#      corpus (dump, messages and exit code).
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
cmake --build "$native" --target cave-tracecheck cave-gen cave-xdump >/dev/null
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
echo "check_windows: all identical"

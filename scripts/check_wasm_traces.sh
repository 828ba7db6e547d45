#!/usr/bin/env bash
# check_wasm_traces.sh -- the same run natively and in WebAssembly under node, byte for byte.
#
# Builds the `wasm` preset (Debian's emscripten) and compares, with the native build given:
#   1. a 1500-frame scripted run of the shipped scene (arrow turns, drives, the space bar and a drag):
#      cave-tracecheck natively, cave-tracecheck under node and cave-demo --headless natively give the same
#      body trace;
#   2. the generated 20,000-triangle cave's 1500 steps: natively and under node, the same trace;
#   3. cave-gen under node writes the committed assets, and the same gallery of caves as natively;
#   4. cave-xdump under node reads every file of the scene reader's fuzz corpus (and the caves) as the
#      native one does: the same dump, messages and exit code.
#
#   bash scripts/check_wasm_traces.sh [NATIVE_BUILD_DIR]    (default build/release, already built)
set -euo pipefail
cd "$(dirname "$0")/.."

native=${1:-build/release}
frames=1500
script=tools/tracecheck/turns_drives_lift_drag.txt
out=build/tracecheck
node=(node --no-experimental-fetch)
# Debian's emcc finds its JavaScript modules there.
export NODE_PATH=/usr/share/nodejs

fail() {
  echo "check_wasm_traces: $*" >&2
  exit 1
}

echo "== wasm build =="
cmake --preset wasm >/dev/null
cmake --build build/wasm -j "$(nproc 2>/dev/null || echo 2)" --target cave-tracecheck cave-gen cave-xdump
cmake --build "$native" --target cave-tracecheck cave-demo cave-gen cave-xdump >/dev/null

rm -rf "$out"
mkdir -p "$out"

echo "== scripted run of the shipped scene, $frames frames =="
"$native/tools/tracecheck/cave-tracecheck" demo assets "$script" "$frames" "$out/demo-native.csv" \
  2>"$out/demo-native.log" || { cat "$out/demo-native.log" >&2; fail "native cave-tracecheck demo failed"; }
grep -q "picked" "$out/demo-native.log" || fail "the script's drag picked no body ($out/demo-native.log)"
"${node[@]}" build/wasm/tools/tracecheck/cave-tracecheck.js demo assets "$script" "$frames" \
  "$out/demo-wasm.csv" 2>"$out/demo-wasm.log" || { cat "$out/demo-wasm.log" >&2; fail "cave-tracecheck under node failed"; }
SDL_VIDEODRIVER=offscreen "$native/app/cave-demo" --data assets --headless --frames "$frames" \
  --script "$script" --trace "$out/demo-cave-demo.csv" 2>"$out/demo-cave-demo.log" ||
  { cat "$out/demo-cave-demo.log" >&2; fail "cave-demo failed"; }
[ "$(wc -l <"$out/demo-native.csv")" -eq $((1 + (frames + 1) * 101)) ] || fail "$out/demo-native.csv is not $frames frames of 101 bodies"
cmp "$out/demo-native.csv" "$out/demo-cave-demo.csv" || fail "cave-tracecheck and cave-demo traces differ"
cmp "$out/demo-native.csv" "$out/demo-wasm.csv" || fail "native and WebAssembly traces of the scripted run differ"
echo "identical: native, WebAssembly and cave-demo ($(sha256sum <"$out/demo-native.csv" | cut -c1-16))"

echo "== generated 20,000-triangle cave, $frames steps =="
"$native/tools/tracecheck/cave-tracecheck" cave "$frames" "$out/cave-native.csv" || fail "native cave run failed"
"${node[@]}" build/wasm/tools/tracecheck/cave-tracecheck.js cave "$frames" "$out/cave-wasm.csv" ||
  fail "cave run under node failed"
cmp "$out/cave-native.csv" "$out/cave-wasm.csv" || fail "native and WebAssembly traces of the generated cave differ"
echo "identical: native and WebAssembly ($(sha256sum <"$out/cave-native.csv" | cut -c1-16))"

echo "== cave-gen under node =="
mkdir -p "$out/assets"
"${node[@]}" build/wasm/tools/cavegen/cave-gen.js "$out/assets" >/dev/null || fail "cave-gen under node failed"
for f in cave.x check.bmp block.bmp map.bmp; do
  cmp "assets/$f" "$out/assets/$f" || fail "cave-gen under node wrote a different $f"
done
echo "identical: the committed assets"
mkdir -p "$out/gallery-native" "$out/gallery-wasm"
"$native/tools/cavegen/cave-gen" --gallery "$out/gallery-native" || fail "cave-gen --gallery failed"
"${node[@]}" build/wasm/tools/cavegen/cave-gen.js --gallery "$out/gallery-wasm" || fail "cave-gen --gallery under node failed"
for f in "$out"/gallery-native/*; do
  cmp "$f" "$out/gallery-wasm/$(basename "$f")" || fail "cave-gen --gallery under node wrote a different $(basename "$f")"
done
echo "identical: the gallery ($(ls "$out/gallery-native" | wc -l) files)"

echo "== cave-xdump under node =="
# The scene reader on the fuzz corpus (well-formed and malformed files): the same dump, messages and
# exit code as the native program.
count=0
for f in assets/cave.x "$out"/gallery-native/*.x fuzz/corpus/xfile/*; do
  "$native/tools/xdump/cave-xdump" "$f" >"$out/xdump-native.out" 2>"$out/xdump-native.err" && a=0 || a=$?
  "${node[@]}" build/wasm/tools/xdump/cave-xdump.js "$f" >"$out/xdump-wasm.out" 2>"$out/xdump-wasm.err" && b=0 || b=$?
  [ "$a" -eq "$b" ] || fail "cave-xdump $f: exit code $a natively, $b under node"
  cmp -s "$out/xdump-native.out" "$out/xdump-wasm.out" || fail "cave-xdump $f: the dumps differ"
  cmp -s "$out/xdump-native.err" "$out/xdump-wasm.err" || fail "cave-xdump $f: the messages differ"
  count=$((count + 1))
done
echo "identical: $count files"
echo "check_wasm_traces: all identical"

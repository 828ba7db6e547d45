#!/usr/bin/env bash
# check_dist.sh -- the three files of scripts/dist.sh, tried as a user would (the test command's packaging
# stage; it reuses the release, Windows and web builds the stages before it made):
#   the .deb: lintian finds no error; it holds the programs, the data, the gallery, the menu entry, the icon
#     and the manual page; unpacked into a scratch root, its cave-demo runs headless on its own data folder
#     for 300 frames to the build tree's screenshot; desktop-file-validate takes the entry; man renders the
#     page without a warning;
#   the zip: unpacked, its cave-demo.exe runs the Windows stage's script under Wine on its own data, to the
#     native trace of the same script;
#   the web tarball: unpacked and served from a sub-path, the page reaches frame 300 and draws the build
#     tree's page's frame (web/tests/site.test.mjs);
#   --version of every program prints the project's version, as CMake's cache has it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/dist.sh --reuse >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
deb=dist/cave-demo_${version}_amd64.deb
zip=dist/cave-demo-${version}-windows-x64.zip
web=dist/cave-demo-${version}-web.tar.gz
for f in "$deb" "$zip" "$web"; do
  [ -s "$f" ] || { echo "check_dist: $f was not written"; exit 1; }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "check_dist: $*"; failures=$((failures + 1)); }

echo "== the .deb =="
if ! lintian --fail-on error "$deb" >"$scratch/lintian" 2>&1; then
  cat "$scratch/lintian"
  fail "lintian reports errors on $deb"
fi
grep -q '^E:' "$scratch/lintian" && fail "lintian: $(grep '^E:' "$scratch/lintian" | head -3)"
dpkg-deb -c "$deb" | awk '{print $6}' >"$scratch/contents"
for path in ./usr/bin/cave-demo ./usr/bin/cave-xdump ./usr/bin/cave-gen ./usr/bin/cave-tracecheck \
            ./usr/share/cave-demo/cave.x ./usr/share/cave-demo/check.bmp ./usr/share/cave-demo/map.bmp \
            ./usr/share/cave-demo/block.bmp ./usr/share/cave-demo/gallery/tube.x \
            ./usr/share/applications/cave-demo.desktop ./usr/share/icons/hicolor/scalable/apps/cave-demo.svg \
            ./usr/share/man/man6/cave-demo.6.gz ./usr/share/man/man1/cave-xdump.1.gz \
            ./usr/share/doc/cave-demo/copyright; do
  grep -qx "$path" "$scratch/contents" || fail "$deb does not hold $path"
done
dpkg-deb -f "$deb" Depends | grep -q 'libsdl2-2.0-0' || fail "the package's dependencies name no SDL2"
dpkg-deb -x "$deb" "$scratch/root"
desktop-file-validate "$scratch/root/usr/share/applications/cave-demo.desktop" ||
  fail "desktop-file-validate refuses the menu entry"
grep -qx 'Exec=cave-demo --data /usr/share/cave-demo' "$scratch/root/usr/share/applications/cave-demo.desktop" ||
  fail "the menu entry does not start cave-demo on the installed data"
for page in man6/cave-demo.6 man1/cave-gen.1 man1/cave-xdump.1 man1/cave-tracecheck.1; do
  if ! LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$scratch/root/usr/share/man/$page.gz" \
         >"$scratch/man.txt" 2>"$scratch/man.err" || [ -s "$scratch/man.err" ]; then
    cat "$scratch/man.err"
    fail "man does not render $page without warnings"
  fi
done
LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$scratch/root/usr/share/man/man6/cave-demo.6.gz" >"$scratch/man.txt" 2>/dev/null
grep -q -- '--screenshot' "$scratch/man.txt" || fail "the manual page lists no options"

# The packaged program on the packaged data against the build tree's program on the source data.
export SDL_VIDEODRIVER=offscreen
"$scratch/root/usr/bin/cave-demo" --data "$scratch/root/usr/share/cave-demo" --headless --frames 300 \
  --screenshot "$scratch/packaged.png" 2>"$scratch/packaged.err" || { cat "$scratch/packaged.err"; fail "the packaged cave-demo failed"; }
build/release/app/cave-demo --data assets --headless --frames 300 --screenshot "$scratch/built.png" 2>/dev/null
cmp -s "$scratch/packaged.png" "$scratch/built.png" ||
  fail "the packaged cave-demo's frame 300 differs from the build tree's"

echo "== --version =="
for program in app/cave-demo tools/xdump/cave-xdump tools/cavegen/cave-gen tools/tracecheck/cave-tracecheck; do
  name=$(basename "$program")
  out=$(build/release/$program --version)
  [ "$out" = "$name $version" ] || fail "$name --version printed \"$out\", not \"$name $version\""
  out=$("$scratch/root/usr/bin/$name" --version)
  [ "$out" = "$name $version" ] || fail "the packaged $name --version printed \"$out\""
done

echo "== the Windows zip =="
mkdir -p "$scratch/win"
(cd "$scratch/win" && cmake -E tar xf "$root/$zip")
windir="$scratch/win/cave-demo-${version}-windows-x64"
for f in cave-demo.exe cave-xdump.exe cave-gen.exe cave-tracecheck.exe cave.x check.bmp map.bmp block.bmp \
         gallery/tube.x README.txt; do
  [ -f "$windir/$f" ] || fail "the zip does not hold $f"
done
# Started in its own folder as a double-click starts it (its data beside it), the Windows stage's script.
script=$root/tools/tracecheck/turns_drives_lift_drag_see_through.txt
# shellcheck source=wine_env.sh
source scripts/wine_env.sh
wine_start
# A Wine server of its own on the run's display (see check_windows.sh).
wine_stop
(cd "$windir" && xvfb-run -a -s "-screen 0 1024x768x24" wine ./cave-demo.exe --script "$script" --frames 700 \
   --trace "$scratch/zip.csv") </dev/null >"$scratch/zip.out" 2>"$scratch/zip.log" ||
  { cat "$scratch/zip.log"; fail "the zip's cave-demo.exe failed"; }
wine_stop
SDL_VIDEODRIVER=offscreen build/release/app/cave-demo --data assets --headless --script "$script" --frames 700 \
  --trace "$scratch/native.csv" 2>/dev/null
cmp -s "$scratch/zip.csv" "$scratch/native.csv" || fail "the zip's cave-demo.exe does not give the native trace"

echo "== the web tarball =="
mkdir -p "$scratch/site"
tar -xzf "$web" -C "$scratch/site"
CAVE_SITE_DIR="$scratch/site/cave-demo-${version}-web" CAVE_VERSION="$version" \
  node --test --test-concurrency=1 web/tests/site.test.mjs || fail "the unpacked page does not run from a sub-path"

ls -l dist/*.deb dist/*.zip dist/*.tar.gz
if [ "$failures" -gt 0 ]; then
  echo "check_dist: $failures failed"
  exit 1
fi
echo "check_dist: the three files install and run"

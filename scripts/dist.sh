#!/usr/bin/env bash
# dist.sh -- sets up a fresh Debian machine, builds cave-demo for Linux, Windows and the browser, and writes
# the three files a user installs into dist/:
#   cave-demo_VERSION_amd64.deb            the Debian package (programs, data, gallery, menu entry, manual)
#   cave-demo-VERSION-windows-x64.zip      the Windows programs with the data, the gallery and README.txt
#   cave-demo-VERSION-web.tar.gz           the page as a static site, for any static host under any path
#
#   bash scripts/dist.sh            set up, build what is missing, package
#   bash scripts/dist.sh --reuse    package the builds already made (build/release, build/windows,
#                                   build/web), as the test command does after building them
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

reuse=0
for arg in "$@"; do
  case "$arg" in
    --reuse) reuse=1 ;;
    -h | --help)
      sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    *)
      echo "dist.sh: unknown option $arg (try --help)" >&2
      exit 2
      ;;
  esac
done

if [ "$reuse" = 0 ]; then
  bash scripts/setup.sh
  JOBS=$(nproc 2>/dev/null || echo 2)
  cmake --preset release >/dev/null
  cmake --build build/release -j "$JOBS"
  bash scripts/windows.sh
  bash scripts/web.sh --build-only
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
[ -n "$version" ] || { echo "dist.sh: no version in build/release/CMakeCache.txt (build first)" >&2; exit 1; }
dist=$root/dist
stage=$dist/stage
rm -rf "$stage"
mkdir -p "$dist" "$stage"

# The Debian package, as CPack makes it from the release build's install rules.
rm -rf build/release/packages
(cd build/release && cpack -G DEB >/dev/null)
cp "build/release/packages/cave-demo_${version}_amd64.deb" "$dist/"
echo "dist: dist/cave-demo_${version}_amd64.deb"

# Reproducible archives: files in name order, one owner, the time of the project's last commit.
stamp=$(git log -1 --format=%ct 2>/dev/null || echo 0)
stamp_text=$(date -u -d "@$stamp" '+%Y-%m-%d %H:%M:%S UTC')
archive() { # archive FORMAT OUTPUT FOLDER (in $stage)
  find "$stage/$3" -exec touch -h -d "@$stamp" {} +
  (cd "$stage" && find "$3" -print | LC_ALL=C sort >"$stage/.list" &&
     cmake -E tar cf "$2" --format="$1" --mtime="$stamp_text" --files-from="$stage/.list")
}

# The Windows programs, the demo's data beside them (cave-demo.exe reads its working folder, as started from
# the folder) and the gallery; README.txt with Windows line ends.
win=cave-demo-${version}-windows-x64
mkdir -p "$stage/$win/gallery"
for program in app/cave-demo tools/xdump/cave-xdump tools/cavegen/cave-gen tools/tracecheck/cave-tracecheck; do
  cp "build/windows/$program.exe" "$stage/$win/"
done
cp assets/cave.x assets/check.bmp assets/map.bmp assets/block.bmp "$stage/$win/"
cp build/release/gallery/steps.x build/release/gallery/bowl.x build/release/gallery/tube.x \
   build/release/gallery/gallery.json "$stage/$win/gallery/"
sed "s/@VERSION@/$version/" packaging/README-windows.txt | sed 's/$/\r/' >"$stage/$win/README.txt"
rm -f "$dist/$win.zip"
archive zip "$dist/$win.zip" "$win"
echo "dist: dist/$win.zip"

# The page: everything build/web holds (page, program, data, gallery, manifest, service worker, icons).
web=cave-demo-${version}-web
mkdir -p "$stage/$web"
cp -R build/web/. "$stage/$web/"
sed "s/@VERSION@/$version/" packaging/README-web.txt >"$stage/$web/README.txt"
rm -f "$dist/$web.tar.gz"
archive gnutar "$stage/$web.tar" "$web"
gzip -9n <"$stage/$web.tar" >"$dist/$web.tar.gz"
echo "dist: dist/$web.tar.gz"
rm -rf "$stage"
ls -l "$dist"

#!/usr/bin/env bash
# setup.sh -- installs the Debian packages that cave-demo builds, runs and tests with.
# Safe to run again: it asks apt only when a package is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libsdl2-image-dev libstb-dev
  libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0 libglx-mesa0
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  xvfb xauth x11-utils
  clang-format python3
  clang libclang-rt-14-dev
  emscripten
  g++-mingw-w64-x86-64-posix wine wine64
  dpkg-dev file lintian desktop-file-utils man-db
)
# node runs the WebAssembly build; Debian's nodejs only where no node is installed (it conflicts with
# other installations).
command -v node >/dev/null 2>&1 || PACKAGES+=(nodejs)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

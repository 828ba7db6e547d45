#!/usr/bin/env bash
# web.sh -- sets up a fresh Debian machine, builds the browser version of cave-demo into build/web/
# (the page, app.js, app.wasm and the preloaded data side by side) and serves it on 127.0.0.1.
#
#   bash scripts/web.sh               set up, build, serve; prints the URL (Ctrl-C stops the server)
#   bash scripts/web.sh --build-only  set up and build, no server
#
# Environment: WEB_PORT (default 8000) for the server.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

build_only=0
for arg in "$@"; do
  case "$arg" in
    --build-only) build_only=1 ;;
    -h | --help)
      sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    *)
      echo "web.sh: unknown option $arg (try --help)" >&2
      exit 2
      ;;
  esac
done

# Debian packages: the compiler, the browser the tests drive, and Node.js only when this machine has no
# node / npm of its own (installing Debian's over another one conflicts with it).
web_packages=(emscripten chromium cmake ninja-build python3)
command -v node >/dev/null 2>&1 || web_packages+=(nodejs)
command -v npm >/dev/null 2>&1 || web_packages+=(npm)
missing=()
for p in "${web_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "web: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The browser tests' one npm package (puppeteer-core, pinned in web/package-lock.json). It drives the
# system's chromium; no install script runs, so nothing downloads a browser.
if [ ! -d web/node_modules/puppeteer-core ] ||
   ! cmp -s web/package-lock.json web/node_modules/.cave-web-lock 2>/dev/null; then
  echo "web: npm ci (web/)"
  (cd web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --ignore-scripts --no-audit --no-fund --loglevel=error &&
     cp package-lock.json node_modules/.cave-web-lock)
fi

# emcc runs JavaScript tools that need Debian's node modules (acorn) when node is not Debian's own.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
JOBS=$(nproc 2>/dev/null || echo 2)
cmake --preset wasm -DCAVE_WEB_OUTPUT_DIR="$root/build/web" >/dev/null
cmake --build build/wasm -j "$JOBS" --target cave-web-offline
echo "web: built $root/build/web/ (index.html, app.js, app.wasm, app.data, sw.js)"

if [ "$build_only" -eq 1 ]; then exit 0; fi

port=${WEB_PORT:-8000}
echo "web: serving build/web/ at http://127.0.0.1:$port/ (Ctrl-C stops)"
echo "web: options as URL parameters, e.g. http://127.0.0.1:$port/?frames=500&shot=1"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory "$root/build/web"

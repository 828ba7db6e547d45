#!/usr/bin/env bash
# wine_env.sh -- sourced by the Windows scripts: one Wine prefix of the project's own, ready to run the
# cross-built programs without dialogs.
#
#   source scripts/wine_env.sh; wine_start; ...; wine_stop
#
# The prefix lives in build/windows/wine (WINEPREFIX may name another) and is created once (about 9 s);
# later runs reuse it. wine_start keeps one Wine server running for the whole run, so that the many
# short programs of the tests do not each start one; wine_stop ends that server (only this prefix's).
# Wine's messages are off, and the .NET and HTML engines, which Wine would offer to download, are not
# loaded.

export WINEPREFIX=${WINEPREFIX:-$PWD/build/windows/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

wine_start() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating the prefix $WINEPREFIX"
    # No display while it is made: nothing to show, and no window manager to wait for.
    env -u DISPLAY wineboot --init >/dev/null 2>&1 || true
    wineserver --wait
  fi
  # (One already running for this prefix serves as well.)
  wineserver --persistent 2>/dev/null || true
  # Wine's own background processes (services, devices, the desktop) start with the first program and
  # keep its standard output open; started here on /dev/null, they cannot hold the pipe of a test or
  # of a command substitution open after the program itself has ended.
  env -u DISPLAY wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

wine_stop() {
  wineserver --kill 2>/dev/null || true
}

#!/usr/bin/env bash
# wine-run.sh STATE_DIR PROGRAM [ARGS...]
# Runs a Windows program under Wine as the target systems would see it: a
# prefix inside STATE_DIR, code page 936 (GBK), no mono/gecko installers.
set -u
state=$(mkdir -p "$1" && cd "$1" && pwd); shift
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
mkdir -p "$state"
export WINEPREFIX=${WINEPREFIX:-$state/prefix-$WINEARCH}
export HOME=$state/home
mkdir -p "$HOME"
if [ ! -f "$WINEPREFIX/.au-ready" ]; then
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.au-ready" ]; then
      "$AU_WINE" wineboot -i >/dev/null 2>&1
      wineserver -w
      touch "$WINEPREFIX/.au-ready"
    fi
  ) 9>"$state/.init-lock"
fi
# One server for the prefix that outlives each program by half a minute:
# hundreds of short test programs then do not each wait for a new one. It and
# Wine's service processes start here, away from the caller's output: had
# they inherited it, a caller reading to its end (ctest) would wait for them.
if ! wineserver -k0 2>/dev/null; then
  (
    flock 8
    if ! wineserver -k0 2>/dev/null; then
      wineserver -p30
      "$AU_WINE" cmd /c exit
    fi
  ) 8>"$state/.server-lock" </dev/null >/dev/null 2>&1
fi
# Now and then Wine's own loader fails its last check while the process ends,
# after the program has returned: "Inconsistency detected by ld.so:
# dl-fini.c ..." on stderr, and an exit code that is not the program's.
# That run says nothing about the program, so it is run once more; any other
# failure stands as it is.
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
run_once() {  # stderr passes through tee, which also keeps a copy
  { "$AU_WINE" "$@" 2>&1 1>&3 3>&- | tee "$errors" >&2; } 3>&1
  return "${PIPESTATUS[0]}"
}
run_once "$@"
rc=$?
if [ $rc -ne 0 ] && grep -q '^Inconsistency detected by ld.so: dl-fini.c' "$errors"; then
  echo "wine-run.sh: Wine's loader failed as the process ended; running it once more" >&2
  run_once "$@"
  rc=$?
fi
exit $rc

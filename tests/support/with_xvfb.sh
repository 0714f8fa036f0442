#!/usr/bin/env bash
# Runs a command on an X server of its own (Xvfb, on the first free display number), which
# goes away with the command. Window tests that need a real windowing system run through
# this; parallel runs never share a server.
set -uo pipefail

work=$(mktemp -d "${TMPDIR:-/tmp}/kanvio-xvfb-XXXXXX")
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "with_xvfb: Xvfb did not start" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi

export DISPLAY=":$(head -n 1 "$work/display")" QT_QPA_PLATFORM=xcb
# The sanitizer's slow unwinder takes the unwinder's lock on every allocation; the GL
# driver's threads load code under the loader's lock at the same time, and the two
# deadlock. With frame-pointer stacks the driver's and GLib's allocations for the life
# of the process cannot be told from leaks, so these suites check memory errors only;
# the engine's leaks are checked by its offscreen suites, which run the same code.
if [ -n "${ASAN_OPTIONS:-}" ]; then
  export ASAN_OPTIONS="$ASAN_OPTIONS:fast_unwind_on_malloc=1:detect_leaks=0"
fi
"$@"

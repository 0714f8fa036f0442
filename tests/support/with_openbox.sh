#!/usr/bin/env bash
# Runs a command under openbox on the X server in $DISPLAY (see with_xvfb.sh). The window
# manager starts before the program, as on a desktop: a toolkit reads which window
# manager hints it may use when it connects. Without openbox the command runs bare.
set -uo pipefail

openbox_pid=""
if command -v openbox >/dev/null 2>&1; then
  openbox --sm-disable >/dev/null 2>&1 &
  openbox_pid=$!
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.05
  done
  # The check is announced early in openbox's start; let it finish starting.
  sleep 1
fi
"$@"
status=$?
if [ -n "$openbox_pid" ]; then
  kill "$openbox_pid" 2>/dev/null
  wait "$openbox_pid" 2>/dev/null
fi
exit $status

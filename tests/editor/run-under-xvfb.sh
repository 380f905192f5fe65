#!/bin/sh
# Runs a test program on a private Xvfb display. Without Xvfb the program
# runs with DC_XVFB_UNAVAILABLE=1, and its display tests skip themselves.
set -u
if ! command -v Xvfb >/dev/null 2>&1; then
  DC_XVFB_UNAVAILABLE=1 exec "$@"
fi
# Pick a display number nobody uses.
n=90
while [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ]; do
  n=$((n + 1))
done
Xvfb ":${n}" -nolisten tcp -noreset -screen 0 640x480x24 >/dev/null 2>&1 &
xvfb_pid=$!
tries=0
while [ ! -e "/tmp/.X11-unix/X${n}" ]; do
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "Xvfb did not start on :${n}" >&2
    kill "$xvfb_pid" 2>/dev/null
    exit 1
  fi
  sleep 0.05
done
DISPLAY=":${n}" "$@"
status=$?
kill "$xvfb_pid" 2>/dev/null
wait "$xvfb_pid" 2>/dev/null
exit $status

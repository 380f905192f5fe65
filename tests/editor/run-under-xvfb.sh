#!/bin/sh
# Runs a test program on a private Xvfb display that Xvfb picks itself
# (-displayfd), so parallel runs never collide. Without Xvfb the program runs
# with DC_XVFB_UNAVAILABLE=1 and its display tests skip themselves.
set -u
if ! command -v Xvfb >/dev/null 2>&1; then
  DC_XVFB_UNAVAILABLE=1 exec "$@"
fi
numberfile=$(mktemp)
# -noreset: no server reset between the tests' connections.
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1280x1024x24 3>"$numberfile" >/dev/null 2>&1 &
xvfb_pid=$!
tries=0
while [ ! -s "$numberfile" ]; do
  tries=$((tries + 1))
  if [ "$tries" -gt 200 ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "Xvfb did not start" >&2
    kill "$xvfb_pid" 2>/dev/null
    rm -f "$numberfile"
    exit 1
  fi
  sleep 0.05
done
# The number is written with a trailing newline once the server listens.
sleep 0.05
n=$(tr -dc '0-9' <"$numberfile")
rm -f "$numberfile"
DISPLAY=":${n}" "$@"
status=$?
kill "$xvfb_pid" 2>/dev/null
wait "$xvfb_pid" 2>/dev/null
exit $status

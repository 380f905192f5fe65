#!/usr/bin/env bash
# CPU spent by `vsthost edit` with the editor open and nobody touching it, in
# per cent of one core, for Dithercrunch and a peer editor in the same run;
# each on a private Xvfb, whose own CPU (the X server's drawing work) is
# reported beside it.
#   idle-cpu.sh VSTHOST DITHERCRUNCH.so [SECONDS] [PEER.so...]
# Default peer: Debian's DPF MVerb. Not a test: the figures go into reports.
set -euo pipefail
vsthost=$1
plugin=$2
seconds=${3:-20}
shift $(( $# < 3 ? $# : 3 ))
peers=("$@")
[ ${#peers[@]} -gt 0 ] || peers=(/usr/lib/vst/MVerb-vst.so)

ticks_per_second=$(getconf CLK_TCK)
# utime + stime of a process, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

measure() {
  local module=$1 numberfile xvfb n tool t0 x0 t1 x1
  numberfile=$(mktemp)
  Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1280x1024x24 3>"$numberfile" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 200); do [ -s "$numberfile" ] && break; sleep 0.05; done
  n=$(tr -dc '0-9' <"$numberfile")
  rm -f "$numberfile"
  DISPLAY=":$n" "$vsthost" edit "$module" --quiet >/dev/null 2>&1 &
  tool=$!
  sleep 3 # the window is up and its first picture drawn
  t0=$(cpu_ticks "$tool"); x0=$(cpu_ticks "$xvfb")
  sleep "$seconds"
  t1=$(cpu_ticks "$tool"); x1=$(cpu_ticks "$xvfb")
  kill "$tool" "$xvfb" 2>/dev/null || true
  wait "$tool" "$xvfb" 2>/dev/null || true
  awk -v name="$(basename "$module")" -v t=$((t1 - t0)) -v x=$((x1 - x0)) -v hz="$ticks_per_second" -v s="$seconds" \
    'BEGIN { printf "%-24s vsthost %.3f%%  Xvfb %.3f%%  (of one core, %d s idle)\n", name, 100 * t / hz / s, 100 * x / hz / s, s }'
}

measure "$plugin"
for peer in "${peers[@]}"; do
  if [ -e "$peer" ]; then measure "$peer"; else echo "$peer: not installed"; fi
done

#!/usr/bin/env bash
# The README as a newcomer reads it: the usage blocks are what the programs
# print, and every example command (an indented line starting with
# build/tools/) runs as written, in order, from a fresh folder whose "build"
# is the build folder. The edit examples need a display and are left to
# tests/edit.
#   readme-check.sh README BUILD_DIR
set -uo pipefail
readme=$1
build=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

text=$(cat "$readme")
for tool in vsthost auhost; do
  usage=$("$build/tools/$tool" --help | sed -n '/^usage:/,/--version$/p' | sed 's/^/    /')
  [ -n "$usage" ] || fail "$tool --help prints no usage"
  [[ "$text" == *"$usage"* ]] || fail "the README's $tool usage differs from what $tool --help prints:
$usage"
done

ln -s "$build" "$work/build"
mkdir -p "$work/home"
export HOME=$work/home TWINFOLD_LOCAL_DOMAIN=$work/local
count=0
while IFS= read -r line; do
  command=${line#    }
  case $command in *" edit "*) echo "(needs a display: $command)"; continue ;; esac
  echo "\$ $command"
  (cd "$work" && eval "$command") >"$work/out" 2>&1
  status=$?
  [ "$status" -eq 0 ] || { cat "$work/out"; fail "exit status $status from: $command"; }
  count=$((count + 1))
done < <(grep -E '^    build/tools/' "$readme")
[ "$count" -ge 8 ] || fail "only $count example commands found"
echo "OK: $count README examples ran; both usage blocks match"

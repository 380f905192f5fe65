#!/usr/bin/env bash
# Checks the built LV2 bundle as the LV2 community asks of a release:
# sord_validate (Debian sordi) against the LV2 schemas of Debian's lv2-dev,
# then lv2lint with the packager's checks (-Mpack: binary, Turtle, features,
# state, real-time safety of run, symbols, linked libraries); last, the LV2
# two-thread test (restore, save and render beside run) built with
# ThreadSanitizer in build-tsan.
#
#   scripts/lv2-check.sh [BUILD_DIR]     (default: build)
#
# lv2lint is looked for at ../shared/tools/lv2lint.sh beside the repository
# and at /work/shared/tools/lv2lint.sh; without either the log says so and
# it is left out. Exit status 1 on any sord_validate error, lv2lint FAIL or
# reported race.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
bundle=$build/lv2/DitherCrunch.lv2
uri=urn:tarnby-audio:dithercrunch
[ -f "$bundle/manifest.ttl" ] || { echo "lv2-check: no bundle at $bundle (build first)"; exit 1; }

mapfile -t schemas < <(dpkg -L lv2-dev | grep '\.ttl$' | sort)
[ ${#schemas[@]} -gt 0 ] || { echo "lv2-check: the LV2 schemas (Debian lv2-dev) are missing"; exit 1; }
mapfile -t ours < <(find "$bundle" -name '*.ttl' | sort)
echo "== sord_validate: ${#ours[@]} files of $bundle against ${#schemas[@]} LV2 schema files"
sord_validate "${schemas[@]}" "${ours[@]}"

lint=
for candidate in ../shared/tools/lv2lint.sh /work/shared/tools/lv2lint.sh; do
  if [ -x "$candidate" ]; then lint=$candidate; break; fi
done
if [ -z "$lint" ]; then
  echo "== lv2lint: not run: neither ../shared/tools/lv2lint.sh nor /work/shared/tools/lv2lint.sh exists"
else
  # On a private X display, so that the UI's checks (instantiation, widget,
  # size hints) run too.
  echo "== lv2lint ($lint) -Mpack $uri"
  LV2_PATH="$(cd "$build/lv2" && pwd):/usr/lib/lv2" tests/editor/run-under-xvfb.sh "$lint" -Mpack "$uri"
fi

tsan=${TSAN_BUILD:-build-tsan}
echo "== the LV2 two-thread test under ThreadSanitizer ($tsan)"
cmake -S . -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDC_TSAN=ON -DDC_BENCH=OFF >/dev/null
cmake --build "$tsan" -j"$(nproc)" --target lv2_concurrency_tests >/dev/null
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} "$tsan/tests/lv2/lv2_concurrency_tests"

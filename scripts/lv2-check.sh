#!/usr/bin/env bash
# Checks the built LV2 bundle as the LV2 community asks of a release:
# sord_validate (Debian sordi) against the LV2 schemas of Debian's lv2-dev,
# then lv2lint with the packager's checks (-Mpack: binary, Turtle, features,
# state, real-time safety of run, symbols, linked libraries).
#
#   scripts/lv2-check.sh [BUILD_DIR]     (default: build)
#
# lv2lint is looked for at ../shared/tools/lv2lint.sh beside the repository
# and at /work/shared/tools/lv2lint.sh; without either the log says so and
# only sord_validate runs. Exit status 1 on any sord_validate error or
# lv2lint FAIL.
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
  exit 0
fi
echo "== lv2lint ($lint) -Mpack $uri"
LV2_PATH="$(cd "$build/lv2" && pwd):/usr/lib/lv2" "$lint" -Mpack "$uri"

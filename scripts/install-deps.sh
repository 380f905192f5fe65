#!/usr/bin/env bash
# Installs the Debian 12 packages of a list that are missing:
#   scripts/install-deps.sh [LIST]   (default deps/debian-packages.txt, everything the tests need)
# deps/demo-packages.txt holds only what building and running the demo needs.
set -euo pipefail
cd "$(dirname "$0")/.."
LIST=${1:-deps/debian-packages.txt}
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
mapfile -t packages < <(grep -v -E '^\s*(#|$)' "$LIST")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

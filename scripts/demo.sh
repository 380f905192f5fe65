#!/usr/bin/env bash
# The main job: installs what is missing, builds the plug-in and the
# command-line host, renders a generated signal through Dithercrunch with a
# preset, renders it again through the AudioUnit component with auhost, and
# shows where the built plug-in, the component and the rendered audio are.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
BUILD=${BUILD:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target DitherCrunch vsthost DitherCrunchComponent auhost
bash scripts/demo-run.sh "$BUILD"
echo "Install for your user: mkdir -p ~/.vst && cp $BUILD/vst/DitherCrunch.so ~/.vst/ (README, Installing: where each host looks)"
echo "AudioUnit: cp -r $BUILD/au/DitherCrunch.component ~/Library/Audio/Plug-Ins/Components/ (hosts on the platform library find it there)"

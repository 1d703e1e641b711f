#!/usr/bin/env bash
# Builds Quillmere and runs its main job. With the Qt program built and a display available it
# opens the program; otherwise it runs quillmere-cli with the given arguments (or its help).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_TESTS=OFF -DQM_BENCH=OFF >/dev/null
cmake --build build/release -j"$(nproc)"
if [ -x build/release/src/quillmere ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/release/src/quillmere "$@"
fi
if [ $# -eq 0 ]; then
  exec build/release/tools/quillmere-cli --help
fi
exec build/release/tools/quillmere-cli "$@"

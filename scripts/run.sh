#!/usr/bin/env bash
# Builds Quillmere and runs its main job: the program opened on the demo scene, which the
# program generates and composes the first time (in $XDG_DATA_HOME/Quillmere/Demo, or
# ~/.local/share/Quillmere/Demo). Arguments are passed on to the program instead (documents,
# /n~ew). Without a display it writes the demo scene and prints what the project holds; with
# "cli" as the first argument it runs quillmere-cli with the remaining arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_TESTS=OFF -DQM_BENCH=OFF >/dev/null
cmake --build build/release -j"$(nproc)"
cli=build/release/tools/quillmere-cli
program=build/release/src/quillmere

if [ "${1:-}" = "cli" ]; then
  shift
  exec "$cli" "$@"
fi

demo="${XDG_DATA_HOME:-$HOME/.local/share}/Quillmere/Demo"
if [ $# -eq 0 ] && [ ! -f "$demo/Demo.qmp" ]; then
  "$cli" demo "$demo"
fi

if [ -x "$program" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  if [ $# -eq 0 ]; then
    exec "$program" "$demo/Demo.qmp"
  fi
  exec "$program" "$@"
fi
echo "No display: the demo scene is in $demo (open it with the program on a desktop)."
exec "$cli" project-info "$demo/Demo.qmp"

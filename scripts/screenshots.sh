#!/usr/bin/env bash
# Makes the pictures in docs/screenshots: the widget tests' Screenshots cases run under Xvfb
# with the X11 platform, each saving what it shows as a PNG.
set -euo pipefail
cd "$(dirname "$0")/.."
# An existing build folder may be given (it keeps its own configuration).
build=${1:-build/screenshots}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target test_gui
mkdir -p docs/screenshots
xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb \
  QM_SCREENSHOT_DIR="$PWD/docs/screenshots" "$build/tests/test_gui" --gtest_filter='*Screenshots.*'
ls docs/screenshots

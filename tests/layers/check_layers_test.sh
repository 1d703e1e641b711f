#!/usr/bin/env bash
# The layer check passes on the tree as it is, and fails, naming the file, when a core file is
# made to include a GUI header, a lower QuickTime part a higher one, or a Qt-free layer Qt.
set -euo pipefail
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$root/src" "$root/tools" "$root/cmake" "$work/"
check() { cmake -DQM_SOURCE_DIR="$work" -P "$work/cmake/check_layers.cmake" >"$work/out.txt" 2>&1; }

check || { cat "$work/out.txt"; echo "FAIL: the real tree does not pass"; exit 1; }

expect_refusal() { # file, line to add, text the refusal must hold
  cp "$root/$1" "$work/$1"
  sed -i "1i $2" "$work/$1"
  if check; then echo "FAIL: '$2' in $1 was accepted"; exit 1; fi
  grep -q "$3" "$work/out.txt" || { cat "$work/out.txt"; echo "FAIL: no '$3' in the refusal"; exit 1; }
  cp "$root/$1" "$work/$1"
}
expect_refusal src/compose/composer.cpp '#include "scene/scene_window.h"' 'src/compose/composer.cpp'
expect_refusal src/appcore/progress.cpp '#include "framework/progress_window.h"' 'src/appcore/progress.cpp'
expect_refusal src/project/scene.cpp '#include <QString>' 'Qt-free'
expect_refusal src/quicktime/codec/codec.cpp '#include "quicktime/movie/movie.h"' 'quicktime/movie/movie.h'
expect_refusal tools/cli/main.cpp '#include "app/app_shell.h"' 'tools/cli/main.cpp'
check || { cat "$work/out.txt"; echo "FAIL: restoring the files did not pass"; exit 1; }
echo "layer check: ok"

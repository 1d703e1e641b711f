#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, when any is missing.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  zlib1g-dev libavcodec-dev libavutil-dev libswscale-dev libavformat-dev ffmpeg
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth desktop-file-utils shared-mime-info ccache lld
  nodejs chromium
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# npm comes with Node.js from some sources and as Debian's own package otherwise.
command -v npm >/dev/null 2>&1 || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The web tour's viewer (Photo Sphere Viewer, three.js) and the tools of its browser test, at the
# versions of web/package-lock.json; never committed.
web="$(cd "$(dirname "$0")/.." && pwd)/web"
if [ -f "$web/package-lock.json" ] && [ "$web/package-lock.json" -nt "$web/node_modules/.quillmere-installed" ]; then
  (cd "$web" && npm ci --no-audit --no-fund && touch node_modules/.quillmere-installed)
fi

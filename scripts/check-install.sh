#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks that the desktop integration arrived
# whole: programs, desktop entry (desktop-file-validate), MIME types, icons at every size.
#   scripts/check-install.sh BUILD_DIR [CMAKE]
set -euo pipefail
build=$1
cmake=${2:-cmake}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

failed=0
fail() { echo "FAIL: $*"; failed=1; }
share=$prefix/share

for program in quillmere quillmere-cli; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program not installed"
done

desktop=$share/applications/quillmere.desktop
if [ -f "$desktop" ]; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
  grep -qx 'Exec=quillmere %F' "$desktop" || fail "the desktop entry does not start quillmere"
else
  fail "no desktop entry"
fi

# The MIME package must compile, and the documents' names must map to their types.
mime=$share/mime
if [ -f "$mime/packages/quillmere.xml" ]; then
  # (It warns that the temporary folder is not in XDG_DATA_DIRS: only failures matter.)
  out=$(update-mime-database "$mime" 2>&1) || { echo "$out"; fail "update-mime-database rejects quillmere.xml"; }
  grep -q 'application/x-quillmere-project:\*\.qmp' "$mime/globs2" 2>/dev/null || fail "*.qmp has no type"
  grep -q 'application/x-quillmere-template:\*\.qmt' "$mime/globs2" 2>/dev/null || fail "*.qmt has no type"
else
  fail "no MIME package"
fi

# Width and height from a PNG's IHDR chunk (big-endian 32-bit at bytes 16 and 20).
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'; }
hicolor=$share/icons/hicolor
for s in 16 22 24 32 48 64 128 256; do
  for icon in apps/quillmere mimetypes/application-x-quillmere-project mimetypes/application-x-quillmere-template; do
    f=$hicolor/${s}x${s}/$icon.png
    if [ -f "$f" ]; then
      [ "$(png_size "$f")" = "${s}x${s}" ] || fail "$f is $(png_size "$f"), not ${s}x${s}"
    else
      fail "missing ${s}x${s}/$icon.png"
    fi
  done
done
for icon in apps/quillmere mimetypes/application-x-quillmere-project mimetypes/application-x-quillmere-template; do
  [ -s "$hicolor/scalable/$icon.svg" ] || fail "missing scalable/$icon.svg"
done

[ $failed -eq 0 ] && echo "installation complete: $(find "$prefix" -type f | wc -l) files"
exit $failed

#!/usr/bin/env bash
# Copies the game's text font (DejaVu Sans, from Debian's fonts-dejavu-core) and its licence into
# assets/fonts/. Safe to run again; does nothing when the copies are already current.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
src_font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
src_licence=/usr/share/doc/fonts-dejavu-core/copyright
dest="$here/assets/fonts"
if [ ! -f "$src_font" ]; then
  if [ -f "$dest/DejaVuSans.ttf" ]; then exit 0; fi
  echo "copy_font.sh: $src_font is missing (install fonts-dejavu-core)" >&2
  exit 1
fi
mkdir -p "$dest"
cmp -s "$src_font" "$dest/DejaVuSans.ttf" || cp "$src_font" "$dest/DejaVuSans.ttf"
if [ -f "$src_licence" ]; then
  cmp -s "$src_licence" "$dest/DejaVuSans-LICENSE.txt" || cp "$src_licence" "$dest/DejaVuSans-LICENSE.txt"
fi

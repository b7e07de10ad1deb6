#!/bin/sh
# Puts Wine's own fonts (Marlett for window buttons and glyphs, Tahoma, ...)
# into a prefix's Fonts folder. Debian installs them under /usr/share/wine/fonts,
# where this Wine does not look, so without the copy frames and symbol glyphs
# draw as letters. Safe to run again: fonts already there are kept.
#
#   scripts/wine-fonts.sh <wine prefix>
set -eu
PREFIX="$1"
SOURCE=/usr/share/wine/fonts
TARGET="$PREFIX/drive_c/windows/Fonts"
[ -d "$SOURCE" ] && [ -d "$TARGET" ] || exit 0
for font in "$SOURCE"/*.ttf; do
  [ -f "$font" ] || continue
  [ -f "$TARGET/$(basename "$font")" ] || cp "$font" "$TARGET/"
done

#!/bin/sh
# Makes the desktop icons in data/linux/icons from the program's owl
# picture (128x128), in the sizes of the hicolor icon theme. Run it again
# after the owl changes; the PNGs are committed. Needs ImageMagick.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
source="$here/../../app/windows/resources/owl.png"
mkdir -p "$here/icons"
for size in 16 22 24 32 48 64 128; do
  convert "$source" -filter Lanczos -resize "${size}x${size}" -strip \
          -define png:exclude-chunks=date,time "$here/icons/tavrin-$size.png"
done

#!/usr/bin/env bash
# Renders the icon's PNG sizes from dist/icons/orvex-gsm.svg. The PNGs are
# kept in the repository, so building and packaging need no renderer; run this
# only after changing the SVG. Needs rsvg-convert (Debian's librsvg2-bin) and,
# for the Windows icon orvex-gsm.ico, ImageMagick's convert.
set -euo pipefail
cd "$(dirname "$0")/../dist/icons"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" orvex-gsm.svg -o "orvex-gsm-$size.png"
done
# The Windows icon (the .exe's resource, the installer, the Start menu): the
# sizes Explorer picks from, the largest stored as PNG.
convert orvex-gsm-{16,24,32,48,64,128,256}.png orvex-gsm.ico

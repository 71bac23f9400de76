#!/usr/bin/env bash
# Draws the bundled sample images with GraphicsMagick (run once; the results
# are committed in samples/).
set -euo pipefail
out="${1:-$(dirname "$0")/../samples}"
mkdir -p "$out"
cd "$out"

# A landscape: sky gradient, sun, two hills.
gm convert -size 640x480 gradient:'#3a78c2'-'#e8f1fb' \
  -fill '#ffd34d' -draw 'circle 480,120 480,170' \
  -fill '#4f8a3c' -draw 'polygon 0,480 0,330 180,260 380,350 640,300 640,480' \
  -fill '#2f6a2a' -draw 'polygon 0,480 0,400 260,340 520,420 640,390 640,480' \
  -quality 88 sky.jpg

# Tiles with a transparent window (PNG with alpha).
gm convert -size 320x240 pattern:checkerboard -fill '#c0392b' -draw 'rectangle 40,40 140,140' \
  -fill '#2980b9' -draw 'circle 230,120 230,190' \
  -matte -fill '#00000000' -draw 'rectangle 260,10 310,60' tiles.png

# Colour stripes (BMP).
gm convert -size 40x150 xc:'#e74c3c' xc:'#f39c12' xc:'#f1c40f' xc:'#2ecc71' xc:'#3498db' \
  +append stripes.bmp

# A grey moon (PGM).
gm convert -size 160x160 xc:black -fill '#d0d0d0' -draw 'circle 80,80 80,10' \
  -fill '#a0a0a0' -draw 'circle 60,60 60,45' -draw 'circle 100,105 100,95' \
  -colorspace gray -depth 8 moon.pgm

# Two pages (TIFF): the viewer shows the first.
gm convert -size 200x120 xc:'#8e44ad' -fill white -draw 'rectangle 20,20 180,100' \
  -size 200x120 xc:'#16a085' -depth 8 -compress LZW pages.tif

# An animated GIF: a dot going round, looping forever.
frames=()
for i in 0 1 2 3 4 5 6 7; do
  x=$(awk -v i="$i" 'BEGIN{printf "%d", 60 + 40*cos(i*3.14159265/4)}')
  y=$(awk -v i="$i" 'BEGIN{printf "%d", 60 + 40*sin(i*3.14159265/4)}')
  gm convert -size 120x120 xc:white -fill '#e67e22' -draw "circle $x,$y $((x+10)),$y" "frame$i.gif"
  frames+=("frame$i.gif")
done
gm convert -delay 12 -loop 0 "${frames[@]}" spinner.gif
rm -f "${frames[@]}"

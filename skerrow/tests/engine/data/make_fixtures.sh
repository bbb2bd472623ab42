#!/bin/sh
# Regenerates the image fixtures with ImageMagick, an encoder independent of the game's decoders.
# Source pixels: (x, y) = (40x, 60y, 20(x+y)) modulo 256, written as a plain PPM first.
set -e
cd "$(dirname "$0")"
ppm() { # width height file
  w=$1; h=$2
  { echo P3; echo "$w $h"; echo 255
    y=0; while [ $y -lt $h ]; do x=0; while [ $x -lt $w ]; do
      echo "$((40*x%256)) $((60*y%256)) $((20*(x+y)%256))"; x=$((x+1)); done; y=$((y+1)); done; } > "$3"
}
ppm 6 4 src_6x4.ppm
ppm 5 3 src_5x3.ppm
ppm 64 4 src_64x4.ppm
convert src_6x4.ppm -type TrueColor PCX:pcx24_6x4.pcx
convert src_5x3.ppm -type TrueColor PCX:pcx24_5x3.pcx
convert src_64x4.ppm -type Palette PCX:pcx8_64x4.pcx
convert src_5x3.ppm -type TrueColor BMP3:bmp24_5x3.bmp
convert src_6x4.ppm -type Palette -compress None BMP3:bmp8_6x4.bmp
convert src_6x4.ppm -type Palette BMP3:bmp8rle_6x4.bmp
convert src_6x4.ppm -type TrueColor BMP:bmp24v5_6x4.bmp
convert src_5x3.ppm -type TrueColor -orient TopLeft -compress None TGA:tga24_5x3.tga
convert src_5x3.ppm -type TrueColor -orient TopLeft -compress RLE TGA:tga24rle_5x3.tga
convert src_6x4.ppm -type Palette -orient TopLeft -compress None TGA:tga8_6x4.tga
convert src_6x4.ppm -type Palette -orient TopLeft -compress RLE TGA:tga8rle_6x4.tga
rm -f src_6x4.ppm src_5x3.ppm src_64x4.ppm

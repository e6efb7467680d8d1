#!/usr/bin/env bash
# Draws the window's artwork with ImageMagick: the loading background (1024x768), the loading
# picture (539x215) and the two 16x16 status-bar icons. Run once after a design change and
# commit the PNGs; the build only packs them.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
mkdir -p icons
# 8 bits per channel: 16 would double what every start decodes, for no visible difference.
strip=(-depth 8 -strip -define png:exclude-chunks=date,time)

# Background: a calm vertical gradient from light grey to slate blue-grey.
convert -size 1024x768 gradient:'#eef1f4'-'#c9d2dc' "${strip[@]}" Loading_BG.png

# Loading picture: a rounded card with a progress track and three dots, on transparency.
convert -size 539x215 xc:none \
  -fill '#ffffffd8' -stroke '#b4bfcb' -strokewidth 2 -draw 'roundrectangle 4,4 534,210 18,18' \
  -stroke none -fill '#dfe5ec' -draw 'roundrectangle 90,150 449,160 5,5' \
  -fill '#6f8aa6' -draw 'roundrectangle 90,150 270,160 5,5' \
  -fill '#6f8aa6' -draw 'circle 219,90 219,74' \
  -fill '#93a8be' -draw 'circle 269,90 269,76' \
  -fill '#b9c7d5' -draw 'circle 319,90 319,78' \
  "${strip[@]}" Loading_Text.png

# Settings icon: a toothed wheel.
convert -size 16x16 xc:none -fill '#4a5a6a' \
  -draw 'circle 8,8 8,2' \
  -draw 'rectangle 7,0 9,15' -draw 'rectangle 0,7 15,9' \
  -draw 'polygon 2,3 3,2 14,13 13,14' -draw 'polygon 13,2 14,3 3,14 2,13' \
  -fill '#4a5a6a' -draw 'circle 8,8 8,3' \
  -fill none -stroke none -fill '#e8edf2' -draw 'circle 8,8 8,6' \
  "${strip[@]}" icons/config.png

# Debug icon: a small console window with a prompt.
convert -size 16x16 xc:none -fill '#2f3b47' -draw 'roundrectangle 0,2 15,14 2,2' \
  -fill '#4a5a6a' -draw 'rectangle 1,3 14,5' \
  -stroke '#9fe0a8' -strokewidth 1 -draw 'line 3,8 5,10' -draw 'line 5,10 3,12' \
  -draw 'line 7,12 11,12' \
  "${strip[@]}" icons/debug.png

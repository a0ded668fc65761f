#!/usr/bin/env bash
# make_gallery.sh [BUILD_DIR]
# Renews docs/images/gallery.png: the real dialog in every language of the string tables on
# one sheet, each picture labelled with its language tag. Runs the screenshot tests of a
# built Windows tree (default build/windows) under Wine and joins their pictures with
# ImageMagick's montage.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/screenshot_run.sh" "$@"
run_screenshots 'DialogScreenshot'
tiles=()
for picture in "$pictures"/conn_config_*.png; do
    name=$(basename "$picture" .png)
    name=${name#conn_config_}
    tiles+=(-label "${name//_/-}" "$picture")
done
[ ${#tiles[@]} -eq 99 ] || { echo "expected 33 pictures, got $((${#tiles[@]} / 3))" >&2; exit 1; }
mkdir -p "$root/docs/images"
/usr/bin/montage "${tiles[@]}" -tile 4x -geometry +10+10 -background white \
    -font /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf -pointsize 18 \
    "$root/docs/images/gallery.png"

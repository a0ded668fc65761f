#!/usr/bin/env bash
# make_screenshots.sh [BUILD_DIR]
# Renews docs/images/conn_config_{en,de,ja,ar,he}.png: runs the screenshot tests of a built
# Windows tree (default build/windows) under its Wine session and Xvfb display.
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
pictures=$(mktemp -d)
trap 'rm -rf "$pictures"' EXIT
cd "$build"
QMK_SCREENSHOT_DIR="$pictures" ctest -R 'wine_|DialogScreenshot.*/(en_US|de|ja|ar|he) ' \
    --output-on-failure >/dev/null
mkdir -p "$root/docs/images"
cp "$pictures/conn_config_en_US.png" "$root/docs/images/conn_config_en.png"
for name in de ja ar he; do
    cp "$pictures/conn_config_$name.png" "$root/docs/images/"
done

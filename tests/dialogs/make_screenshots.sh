#!/usr/bin/env bash
# make_screenshots.sh [BUILD_DIR]
# Renews docs/images/conn_config_{en,de,ja}.png: runs the screenshot tests of a built
# Windows tree (default build-dialogs) under its Wine session and Xvfb display.
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$root/build-dialogs}
mkdir -p "$root/docs/images"
cd "$build"
QMK_SCREENSHOT_DIR="$root/docs/images" ctest -R 'wine_|DialogScreenshot' --output-on-failure

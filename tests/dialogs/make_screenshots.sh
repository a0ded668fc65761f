#!/usr/bin/env bash
# make_screenshots.sh [BUILD_DIR]
# Renews docs/images/conn_config_{en,de,ja,ar,he}.png: runs the screenshot tests of a built
# Windows tree (default build/windows) under its Wine session and Xvfb display.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/screenshot_run.sh" "$@"
run_screenshots 'DialogScreenshot.*/(en_US|de|ja|ar|he) '
mkdir -p "$root/docs/images"
cp "$pictures/conn_config_en_US.png" "$root/docs/images/conn_config_en.png"
for name in de ja ar he; do
    cp "$pictures/conn_config_$name.png" "$root/docs/images/"
done

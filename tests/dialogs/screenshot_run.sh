# Sourced by make_screenshots.sh and make_gallery.sh with their arguments ([BUILD_DIR]).
# Sets root (this checkout), build (BUILD_DIR, default build/windows) and pictures (a
# temporary folder, removed when the script exits); run_screenshots PATTERN then runs the
# screenshot tests matching PATTERN under the build's Wine session and Xvfb display, which
# leave their pictures in $pictures.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
pictures=$(mktemp -d)
trap 'rm -rf "$pictures"' EXIT

run_screenshots() {
    cd "$build"
    QMK_SCREENSHOT_DIR="$pictures" ctest -R "wine_|$1" --output-on-failure >/dev/null
}

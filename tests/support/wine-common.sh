# Sourced with the build directory as its argument: the Wine environment of that build.
build_dir=$(cd "$1" && pwd)
export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

# Creates the prefix once; concurrent callers wait for the first.
ensure_prefix() {
    [ -f "$WINEPREFIX/.qmk-ready" ] && return 0
    (
        flock 9
        [ -f "$WINEPREFIX/.qmk-ready" ] && exit 0
        rm -rf "$WINEPREFIX"
        "$WINE" wineboot -i >/dev/null 2>&1
        "$WINESERVER" -w
        mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
        for font in /usr/share/wine/fonts/*.ttf; do
            [ -e "$font" ] && ln -sf "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
        done
        # Without a window manager every window close costs two seconds.
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        "$WINESERVER" -w
        touch "$WINEPREFIX/.qmk-ready"
    ) 9>"$build_dir/wineprefix.lock"
}

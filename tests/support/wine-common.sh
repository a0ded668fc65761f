# Sourced with the build directory as its argument: the Wine environment of that build.
build_dir=$(cd "$1" && pwd)
export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

# Dialog texts in scripts that Tahoma lacks (CJK, Hebrew, some Greek) fall back to the
# system's Noto Sans CJK and DejaVu Sans through Tahoma's font link; Wine's own list names
# only Windows fonts.
link_fallback_fonts() {
    [ -f "$WINEPREFIX/.qmk-fontlink" ] && return 0
    "$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
        /v Tahoma /t REG_MULTI_SZ /f /d 'DejaVuSans.ttf,DejaVu Sans\0NotoSansCJK-Regular.ttc,Noto Sans CJK JP\0NotoSansCJK-Regular.ttc,Noto Sans CJK TC\0MSGOTHIC.TTC,MS UI Gothic\0MINGLIU.TTC,PMingLiU\0SIMSUN.TTC,SimSun\0GULIM.TTC,Gulim\0SEGUISYM.TTF,Segoe UI Symbol' \
        >/dev/null 2>&1 && touch "$WINEPREFIX/.qmk-fontlink"
}

# Creates the prefix once; concurrent callers wait for the first.
ensure_prefix() {
    [ -f "$WINEPREFIX/.qmk-ready" ] && [ -f "$WINEPREFIX/.qmk-fontlink" ] && return 0
    (
        flock 9
        if [ -f "$WINEPREFIX/.qmk-ready" ]; then
            link_fallback_fonts
            exit 0
        fi
        rm -rf "$WINEPREFIX"
        "$WINE" wineboot -i >/dev/null 2>&1
        "$WINESERVER" -w
        mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
        for font in /usr/share/wine/fonts/*.ttf; do
            [ -e "$font" ] && ln -sf "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
        done
        # Without a window manager every window close costs two seconds.
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        link_fallback_fonts
        "$WINESERVER" -w
        touch "$WINEPREFIX/.qmk-ready"
    ) 9>"$build_dir/wineprefix.lock"
}

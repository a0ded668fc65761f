# Sourced with the build directory as its argument: the Wine environment of that build.
build_dir=$(cd "$1" && pwd)
export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

# Dialog texts in scripts that Tahoma lacks (CJK, Greek) fall back to the four families Wine
# links to Tahoma by name; none is installed, so they are replaced by the system's fonts:
# Noto Sans CJK, whose first face alone holds every CJK glyph, and in the last place DejaVu
# Sans for the accented Greek letters the CJK fonts lack. (The SystemLink registry values
# are no place for this: Wine rewrites them whenever it starts with other code pages.)
link_fallback_fonts() {
    [ -f "$WINEPREFIX/.qmk-fontreplace" ] && return 0
    local key='HKCU\Software\Wine\Fonts\Replacements'
    "$WINE" reg add "$key" /v 'MS UI Gothic' /d 'Noto Sans CJK JP' /f >/dev/null 2>&1 &&
        "$WINE" reg add "$key" /v SimSun /d 'Noto Sans CJK SC' /f >/dev/null 2>&1 &&
        "$WINE" reg add "$key" /v Gulim /d 'Noto Sans CJK KR' /f >/dev/null 2>&1 &&
        "$WINE" reg add "$key" /v PMingLiU /d 'DejaVu Sans' /f >/dev/null 2>&1 &&
        touch "$WINEPREFIX/.qmk-fontreplace"
}

# Hebrew and Thai are drawn (shaped) with the glyphs of the selected font alone, the
# fallbacks above play no part: the prefix's Tahoma is a copy of Wine's with the glyphs it
# lacks for Hebrew (and Arabic) from DejaVu Sans and for Thai from Loma, as Tahoma has these
# scripts on Windows. Its own glyphs and metrics are untouched.
give_tahoma_scripts() {
    [ -f "$WINEPREFIX/.qmk-tahoma-scripts" ] && return 0
    local fonts="$WINEPREFIX/drive_c/windows/Fonts" dejavu=/usr/share/fonts/truetype/dejavu
    /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/add_glyphs.py" "$fonts/tahoma.ttf.new" \
        /usr/share/wine/fonts/tahoma.ttf "$dejavu/DejaVuSans.ttf:0590:05FF" \
        "$dejavu/DejaVuSans.ttf:0600:06FF" "$dejavu/DejaVuSans.ttf:FB50:FDFF" \
        "$dejavu/DejaVuSans.ttf:FE70:FEFF" /usr/share/fonts/truetype/tlwg/Loma.ttf:0E00:0E7F &&
        mv -f "$fonts/tahoma.ttf.new" "$fonts/tahoma.ttf" &&
        touch "$WINEPREFIX/.qmk-tahoma-scripts"
}

prefix_fonts_ready() {
    [ -f "$WINEPREFIX/.qmk-fontreplace" ] && [ -f "$WINEPREFIX/.qmk-tahoma-scripts" ]
}

# Creates the prefix once; concurrent callers wait for the first. A prefix made before a
# font step existed gets that step on first use.
ensure_prefix() {
    [ -f "$WINEPREFIX/.qmk-ready" ] && prefix_fonts_ready && return 0
    (
        flock 9
        if [ -f "$WINEPREFIX/.qmk-ready" ]; then
            link_fallback_fonts
            give_tahoma_scripts
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
        give_tahoma_scripts
        touch "$WINEPREFIX/.qmk-ready"
    ) 9>"$build_dir/wineprefix.lock"
}

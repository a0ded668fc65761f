#!/usr/bin/python3
"""add_glyphs.py OUT BASE FONT:FIRST:LAST...

Writes BASE to OUT with the glyphs of each FONT for the characters FIRST..LAST (hexadecimal)
that BASE lacks. Wine draws right-to-left and shaped text (Hebrew, Thai) with the glyphs of
the selected font only, without its fallback fonts, so the test prefix's Tahoma is given the
scripts that Tahoma has on Windows. BASE's own glyphs, metrics and bitmaps stay as they are.
"""
import copy
import sys

from fontTools.ttLib import TTFont
from fontTools.ttLib.tables import ttProgram


def add_range(base, font, tag, first, last):
    glyf, hmtx = base['glyf'], base['hmtx']
    scale = base['head'].unitsPerEm / font['head'].unitsPerEm
    have = base.getBestCmap()
    source = font.getBestCmap()
    cmaps = [table for table in base['cmap'].tables if table.isUnicode()]

    def take(name):
        new = tag + name
        if new in glyf.glyphs:
            return new
        glyph = copy.deepcopy(font['glyf'][name])
        if glyph.isComposite():
            for part in glyph.components:
                part.glyphName = take(part.glyphName)
                part.x, part.y = round(part.x * scale), round(part.y * scale)
        elif glyph.numberOfContours > 0:
            glyph.coordinates.scale((scale, scale))
            glyph.coordinates.toInt()
        if hasattr(glyph, 'program'):  # its hints refer to the other font's programs
            glyph.program = ttProgram.Program()
            glyph.program.fromBytecode(b'')
        advance, bearing = font['hmtx'][name]
        glyf[new] = glyph
        hmtx[new] = (round(advance * scale), round(bearing * scale))
        return new

    for code in range(first, last + 1):
        if code not in have and code in source:
            name = take(source[code])
            for table in cmaps:
                table.cmap[code] = name


def main(out, base_path, *ranges):
    base = TTFont(base_path)
    for n, font_range in enumerate(ranges):
        path, first, last = font_range.split(':')
        add_range(base, TTFont(path), 'add%d.' % n, int(first, 16), int(last, 16))
    base.setGlyphOrder(base['glyf'].glyphOrder)
    base.save(out)


if __name__ == '__main__':
    main(*sys.argv[1:])

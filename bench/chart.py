#!/usr/bin/env python3
"""Draws the ratio of every fragment operation to its platform floor as a PNG.

Usage: chart.py RESULTS.csv OUT.png. The CSV lines are the benchmark's
(name, operation us, floor us, ratio, goal us, samples, batch, floor parts). The bars are
drawn with ImageMagick (/usr/bin/convert): one bar per operation, a line at 1.0 (the floor
itself) and a dashed line at 1.2 (the goal).
"""
import csv
import os
import subprocess
import sys

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


def main(results, out):
    rows = []
    with open(results, newline="") as f:
        for row in csv.reader(f):
            if len(row) >= 4 and float(row[3]) > 0:
                # An indented name is a breakdown of the operation above it.
                rows.append((row[0].strip(), float(row[3]), row[0].startswith(" ")))
    if not rows:
        sys.exit("no ratios in " + results)
    left, top, bar, gap, scale_width = 420, 60, 22, 10, 520
    top_ratio = max(2.0, max(r for _, r, _ in rows) * 1.1)
    width = left + scale_width + 80
    height = top + len(rows) * (bar + gap) + 80

    def x(ratio):
        return left + ratio / top_ratio * scale_width

    draw = []
    font = ["-font", FONT] if os.path.exists(FONT) else []
    draw += ["-fill", "black", "-pointsize", "16",
             "-draw", "text 20,30 'Operation time / platform floor (median, under Wine)'"]
    draw += ["-pointsize", "12"]
    for i, (name, ratio, breakdown) in enumerate(rows):
        y = top + i * (bar + gap)
        colour = "#3a7d44" if ratio <= 1.2 else "#c0392b"
        if breakdown:
            colour = "#9aa5b1"
        label = ("    " if breakdown else "") + name.replace("'", "")
        draw += ["-fill", "black", "-draw", "text 20,%d '%s'" % (y + 16, label)]
        draw += ["-fill", colour, "-draw", "rectangle %d,%d %d,%d" % (left, y, x(ratio), y + bar)]
        draw += ["-fill", "black", "-draw", "text %d,%d '%.2f'" % (x(ratio) + 6, y + 16, ratio)]
    axis_bottom = top + len(rows) * (bar + gap)
    draw += ["-draw", "stroke black line %d,%d %d,%d" % (x(1.0), top - 10, x(1.0), axis_bottom)]
    draw += ["-draw", "stroke '#c0392b' stroke-dasharray 6 4 line %d,%d %d,%d"
             % (x(1.2), top - 10, x(1.2), axis_bottom)]
    ticks = [t / 2 for t in range(0, int(top_ratio * 2) + 1)]
    for t in ticks:
        draw += ["-fill", "black", "-draw", "text %d,%d '%.1f'" % (x(t) - 8, axis_bottom + 18, t)]
    draw += ["-fill", "#c0392b", "-draw", "text %d,%d 'goal 1.2'" % (x(1.2) + 4, top - 14)]
    draw += ["-fill", "#555555", "-draw", "text 20,%d 'green: within the goal; red: above it; "
             "grey: a breakdown of the operation above (bare platform calls)'" % (axis_bottom + 46)]
    command = ["/usr/bin/convert", "-size", "%dx%d" % (width, height), "xc:white"] + font + draw + [out]
    subprocess.run(command, check=True)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

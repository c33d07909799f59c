#!/usr/bin/env python3
"""Draws the program's icon set as SVG on a 16-unit grid and renders it to 16 and 24 pixel
PNG files with ImageMagick. Run from this folder after changing a drawing. The program's own
icon is also installed at 32 to 256 pixels, rendered from svg/orvane.svg with
`rsvg-convert -w N -h N svg/orvane.svg -o N/orvane.png`."""
import os
import subprocess

INK = "#34495e"      # outlines
PAPER = "#fdfdfb"
BLUE = "#3d7fd0"
LIGHT = "#dbe7f5"
GREEN = "#2f9e44"
RED = "#d64534"
GOLD = "#e3a21a"
PURPLE = "#8357c5"
TEAL = "#16918f"
FOLDER = "#f0c048"


def page(extra=""):
    return (f'<path d="M3 1.5h6.5l3.5 3.5v9.5h-10z" fill="{PAPER}" stroke="{INK}"/>'
            f'<path d="M9.5 1.5v3.5h3.5" fill="none" stroke="{INK}"/>' + extra)


def lines(x0, x1, ys, colour=BLUE):
    return "".join(f'<path d="M{x0} {y}h{x1 - x0}" stroke="{colour}"/>' for y in ys)


def magnifier(cx=10.5, cy=10.5):
    return (f'<circle cx="{cx - 1}" cy="{cy - 1}" r="2.6" fill="{LIGHT}" stroke="{INK}" '
            f'stroke-width="1.2"/><path d="M{cx + 0.8} {cy + 0.8}l2.7 2.7" stroke="{INK}" '
            f'stroke-width="2" stroke-linecap="round"/>')


def grid(x, y, w, h, header=BLUE):
    rows = "".join(f'<path d="M{x} {y + 3.5 + i * 3}h{w}" stroke="{INK}" stroke-width="0.6"/>'
                   for i in range(int((h - 3.5) // 3)))
    return (f'<rect x="{x}" y="{y}" width="{w}" height="{h}" fill="{PAPER}" stroke="{INK}"/>'
            f'<rect x="{x + 0.5}" y="{y + 0.5}" width="{w - 1}" height="2.5" fill="{header}"/>'
            + rows + f'<path d="M{x + w / 2} {y + 3}v{h - 3}" stroke="{INK}" stroke-width="0.6"/>')


def cylinder(colour=BLUE):
    return (f'<path d="M2.5 3.5v9c0 1.4 2.5 2.5 5.5 2.5s5.5-1.1 5.5-2.5v-9" fill="{colour}" '
            f'stroke="{INK}"/><ellipse cx="8" cy="3.5" rx="5.5" ry="2.2" fill="{LIGHT}" '
            f'stroke="{INK}"/><path d="M2.5 7.5c0 1.4 2.5 2.5 5.5 2.5s5.5-1.1 5.5-2.5" '
            f'fill="none" stroke="{LIGHT}" stroke-width="0.8"/>')


def cell(colour):
    return (f'<rect x="1.5" y="5.5" width="10" height="5" rx="1" fill="{PAPER}" stroke="{INK}"/>'
            f'<rect x="2.5" y="6.5" width="3" height="3" fill="{colour}"/>')


def key(x=0, y=0, colour=GOLD):
    return (f'<g transform="translate({x} {y})"><circle cx="5" cy="8" r="3" fill="{colour}" '
            f'stroke="{INK}"/><circle cx="4.3" cy="8" r="0.9" fill="{PAPER}"/>'
            f'<path d="M7.8 8h6.2v2.5M12 8v2" fill="none" stroke="{INK}" stroke-width="1.4"/>'
            f'</g>')


ICONS = {
    # tool bar
    "file-new": page(lines(5, 10, [7.5, 9.5, 11.5], LIGHT)
                     + f'<circle cx="12" cy="12" r="3.2" fill="{GREEN}" stroke="{INK}"/>'
                     f'<path d="M12 10.2v3.6M10.2 12h3.6" stroke="{PAPER}" stroke-width="1.2"/>'),
    "file-open": (f'<path d="M1.5 3.5h4.5l1.5 1.5h6v8.5h-12z" fill="{FOLDER}" stroke="{INK}"/>'
                  f'<path d="M1.5 13.5l2.5-6h11l-2.5 6z" fill="#f7d77a" stroke="{INK}"/>'),
    "file-save": (f'<path d="M1.5 1.5h11l2 2v11h-13z" fill="{BLUE}" stroke="{INK}"/>'
                  f'<rect x="4" y="2" width="7" height="4.5" fill="{PAPER}"/>'
                  f'<rect x="8.5" y="2.8" width="1.6" height="3" fill="{INK}"/>'
                  f'<rect x="3.5" y="9" width="9" height="5" fill="{LIGHT}"/>'),
    "refresh": (f'<path d="M13.3 8.5A5.3 5.3 0 1 1 11.2 3.9" fill="none" stroke="{GREEN}" '
                f'stroke-width="2"/><path d="M9 1.6l5.6-0.4-0.9 5.6z" fill="{GREEN}" '
                f'stroke="{INK}" stroke-width="0.5" stroke-linejoin="round"/>'),
    "parameters": (f'<path d="M5.5 3.5l-4 4.5 4 4.5M10.5 3.5l4 4.5-4 4.5" fill="none" '
                   f'stroke="{BLUE}" stroke-width="1.8" stroke-linejoin="round"/>'
                   f'<circle cx="8" cy="8" r="1.4" fill="{GOLD}" stroke="{INK}" '
                   f'stroke-width="0.6"/>'),
    "find-tree": (f'<rect x="1.5" y="1.5" width="4" height="3" fill="{BLUE}" stroke="{INK}"/>'
                  f'<path d="M3.5 4.5v7h3M3.5 7.5h3" fill="none" stroke="{INK}"/>'
                  f'<rect x="6.5" y="6.2" width="3" height="2.6" fill="{LIGHT}" stroke="{INK}" '
                  f'stroke-width="0.8"/>' + magnifier(11.5, 11.5)),
    "find-command": page(lines(4.5, 11, [4.5, 6.5, 8.5])) + magnifier(11.5, 11.5),
    "compare": (f'<rect x="1.5" y="1.5" width="7" height="9" fill="{PAPER}" stroke="{INK}"/>'
                f'<rect x="7.5" y="5.5" width="7" height="9" fill="{LIGHT}" stroke="{INK}"/>'
                + lines(3, 7, [4, 6], BLUE) + lines(9, 13, [10, 12], PURPLE)),
    "add": (f'<circle cx="8" cy="8" r="6.5" fill="{GREEN}" stroke="{INK}"/>'
            f'<path d="M8 4.2v7.6M4.2 8h7.6" stroke="{PAPER}" stroke-width="2"/>'),
    "drop": (f'<circle cx="8" cy="8" r="6.5" fill="{RED}" stroke="{INK}"/>'
             f'<path d="M5.3 5.3l5.4 5.4M10.7 5.3l-5.4 5.4" stroke="{PAPER}" stroke-width="2"/>'),
    "template": page(f'<rect x="4.5" y="6" width="6" height="2.5" fill="none" stroke="{BLUE}" '
                     f'stroke-dasharray="1 0.8"/><rect x="4.5" y="10" width="6" height="2.5" '
                     f'fill="none" stroke="{BLUE}" stroke-dasharray="1 0.8"/>'),
    "script": page(lines(4.5, 8, [5.5], PURPLE) + lines(6, 11, [7.5, 9.5], BLUE)
                   + lines(4.5, 9, [11.5], PURPLE)),
    "execute": (f'<path d="M4 2.2l10 5.8-10 5.8z" fill="{GREEN}" stroke="{INK}" '
                f'stroke-linejoin="round"/>'),
    "query": grid(1.5, 2.5, 10, 11) + (f'<path d="M12.5 1l-3 6.5h3l-1.5 6 4.5-8h-3l1.5-4.5z" '
                                        f'fill="{GOLD}" stroke="{INK}" stroke-width="0.7" '
                                        f'stroke-linejoin="round"/>'),
    # tree nodes, in kind order
    "alias": cylinder(),
    "table": grid(1.5, 2.5, 13, 11),
    "field": cell(GREEN),
    "index": (f'<path d="M2 3.5h7M2 6.5h5.5M2 9.5h4M2 12.5h2.5" stroke="{PURPLE}" '
              f'stroke-width="1.6"/><path d="M12 2.5v10" stroke="{INK}" stroke-width="1.4"/>'
              f'<path d="M9.5 10.5l2.5 3.5 2.5-3.5z" fill="{INK}"/>'),
    "primary-key": key(0, 0),
    "primary-field": cell(GREEN) + f'<circle cx="12.5" cy="11.5" r="2.8" fill="{GOLD}" stroke="{INK}"/>'
                     f'<circle cx="12.5" cy="11.5" r="0.9" fill="{PAPER}"/>',
    "index-field": cell(GREEN) + f'<path d="M12.5 8v5.5" stroke="{PURPLE}" stroke-width="1.4"/>'
                   f'<path d="M10.5 11.5l2 3 2-3z" fill="{PURPLE}"/>',
    "link": (f'<rect x="1.5" y="5.5" width="7.5" height="5" rx="2.5" fill="none" stroke="{TEAL}" '
             f'stroke-width="1.6"/><rect x="7" y="5.5" width="7.5" height="5" rx="2.5" fill="none" '
             f'stroke="{INK}" stroke-width="1.6"/>'),
    # the program
    "orvane": cylinder() + f'<path d="M8 8.5l6.5 3.5-6.5 3.5z" fill="{GREEN}" stroke="{INK}"/>',
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    os.makedirs(os.path.join(here, "svg"), exist_ok=True)
    for name, body in ICONS.items():
        svg = os.path.join(here, "svg", name + ".svg")
        with open(svg, "w") as f:
            f.write('<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16" '
                    'viewBox="0 0 16 16">' + body + '</svg>\n')
        for size in (16, 24):
            out_dir = os.path.join(here, str(size))
            os.makedirs(out_dir, exist_ok=True)
            subprocess.run(["convert", "-background", "none", "-density", str(72 * size * 4 // 16),
                            svg, "-resize", f"{size}x{size}", "-strip",
                            "PNG32:" + os.path.join(out_dir, name + ".png")], check=True)


if __name__ == "__main__":
    main()

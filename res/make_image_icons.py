#!/usr/bin/env python3
"""Writes the row icons of the camera image dialog (res/skin/image_*_{low,high}.svg).

Each picture property has a pair of 14 x 14 icons: the low end of its slider on
the left, the high end on the right. Run again after editing; the SVG files are
its output and are kept in the repository.
"""
import os

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "skin")

GLYPH = "#e4e4e4"
DIM = "#8c8c8c"
ACCENT = "#33b3d8"
WARM = "#f0a040"
COOL = "#9cc8f0"


def write(name, body, defs=""):
    d = f"<defs>{defs}</defs>" if defs else ""
    text = (f'<svg xmlns="http://www.w3.org/2000/svg" width="14" height="14" '
            f'viewBox="0 0 14 14">{d}{body}</svg>\n')
    with open(os.path.join(OUT, f"image_{name}.svg"), "w", encoding="utf-8") as f:
        f.write(text)


def sun(r, ray_in, ray_out, colour):
    import math
    rays = ""
    for k in range(8):
        a = k * math.pi / 4
        x1, y1 = 7 + ray_in * math.cos(a), 7 + ray_in * math.sin(a)
        x2, y2 = 7 + ray_out * math.cos(a), 7 + ray_out * math.sin(a)
        rays += f'<path d="M{x1:.2f} {y1:.2f} L{x2:.2f} {y2:.2f}"/>'
    return (f'<circle cx="7" cy="7" r="{r}" fill="{colour}"/>'
            f'<g stroke="{colour}" stroke-width="1.2" stroke-linecap="round">{rays}</g>')


def icons():
    write("brightness_low", sun(2, 3.6, 4.6, DIM))
    write("brightness_high", sun(2.8, 4.2, 6.3, GLYPH))

    write("contrast_low", f'<circle cx="7" cy="7" r="5.5" fill="#5e5e5e" stroke="{DIM}"/>'
          f'<path d="M7 1.5 A5.5 5.5 0 0 1 7 12.5 Z" fill="#7a7a7a"/>')
    write("contrast_high", f'<circle cx="7" cy="7" r="5.5" fill="#101010" stroke="{GLYPH}"/>'
          f'<path d="M7 1.5 A5.5 5.5 0 0 1 7 12.5 Z" fill="{GLYPH}"/>')

    def wheel(colours):
        import math
        parts = ""
        n = len(colours)
        for k, c in enumerate(colours):
            a0, a1 = 2 * math.pi * k / n - math.pi / 2, 2 * math.pi * (k + 1) / n - math.pi / 2
            x0, y0 = 7 + 5.5 * math.cos(a0), 7 + 5.5 * math.sin(a0)
            x1, y1 = 7 + 5.5 * math.cos(a1), 7 + 5.5 * math.sin(a1)
            parts += f'<path d="M7 7 L{x0:.2f} {y0:.2f} A5.5 5.5 0 0 1 {x1:.2f} {y1:.2f} Z" fill="{c}"/>'
        return parts
    write("hue_low", wheel(["#c0504d", "#c05090", "#7050c0"]))
    write("hue_high", wheel(["#50c070", "#c0c050", "#50a0c0"]))

    drop = "M7 1.2 C7 1.2 2.8 6.2 2.8 8.6 A4.2 4.2 0 0 0 11.2 8.6 C11.2 6.2 7 1.2 7 1.2 Z"
    write("saturation_low", f'<path d="{drop}" fill="#7a7a7a" stroke="{DIM}" stroke-width="0.8"/>')
    grad = ('<linearGradient id="s" x1="0" y1="0" x2="1" y2="1">'
            '<stop offset="0" stop-color="#e0392f"/><stop offset="0.5" stop-color="#e8c020"/>'
            f'<stop offset="1" stop-color="{ACCENT}"/></linearGradient>')
    write("saturation_high", f'<path d="{drop}" fill="url(#s)" stroke="{GLYPH}" stroke-width="0.8"/>', grad)

    bulb = ("M7 1.3 A4 4 0 0 1 9.6 8.4 L9.2 10 H4.8 L4.4 8.4 A4 4 0 0 1 7 1.3 Z")
    base = '<path d="M5 11.2 H9 M5.6 12.7 H8.4" stroke="#b0b0b0" stroke-width="1" stroke-linecap="round"/>'
    write("whitebalance_low", f'<path d="{bulb}" fill="{WARM}"/>{base}')
    write("whitebalance_high", f'<path d="{bulb}" fill="{COOL}"/>{base}')

    axes = f'<path d="M2 1.5 V12 H12.5" fill="none" stroke="{DIM}" stroke-width="1"/>'
    write("gamma_low", axes + f'<path d="M2.5 11.5 Q10 11 12 2" fill="none" stroke="{GLYPH}" stroke-width="1.3"/>')
    write("gamma_high", axes + f'<path d="M2.5 11.5 Q3 3 12 2" fill="none" stroke="{GLYPH}" stroke-width="1.3"/>')

    person = '<circle cx="7" cy="5" r="2.2" fill="{c}"/><path d="M2.8 13 A4.2 4.2 0 0 1 11.2 13 Z" fill="{c}"/>'
    write("backlight_low", person.format(c=DIM))
    rays = (f'<g stroke="{WARM}" stroke-width="1.1" stroke-linecap="round">'
            '<path d="M1 2 L2.6 3.2"/><path d="M13 2 L11.4 3.2"/><path d="M7 0.6 V1.8"/>'
            '<path d="M0.6 6.5 H2"/><path d="M13.4 6.5 H12"/></g>')
    write("backlight_high", rays + person.format(c=GLYPH))

    def bars(heights, colour):
        out = ""
        for k, h in enumerate(heights):
            x = 1.5 + k * 3
            out += f'<rect x="{x}" y="{13 - h}" width="2.2" height="{h}" rx="0.4" fill="{colour}"/>'
        return out
    write("gain_low", bars([2, 3.5, 1.2, 1.2], DIM))
    write("gain_high", bars([3, 6, 9, 12], GLYPH))

    write("colorenable_low", f'<rect x="2" y="2" width="10" height="10" rx="1.5" fill="#7a7a7a" stroke="{DIM}"/>')
    write("colorenable_high", '<rect x="2" y="2" width="5" height="5" fill="#e0392f"/>'
          '<rect x="7" y="2" width="5" height="5" fill="#50c070"/>'
          f'<rect x="2" y="7" width="5" height="5" fill="{ACCENT}"/>'
          '<rect x="7" y="7" width="5" height="5" fill="#e8c020"/>')

    blur = "".join(f'<circle cx="7" cy="7" r="{r}" fill="#a0a0a0" fill-opacity="{o}"/>'
                   for r, o in ((6.4, 0.12), (5.4, 0.18), (4.4, 0.28), (3.4, 0.45), (2.4, 0.7)))
    write("sharpness_low", blur)
    write("sharpness_high", f'<path d="M7 1.2 L12.8 12 H1.2 Z" fill="none" stroke="{GLYPH}" stroke-width="1.4" '
          'stroke-linejoin="miter"/>')

    frame = '<rect x="1.5" y="1.5" width="11" height="11" rx="1.5" fill="none" stroke="{c}" stroke-width="1.1"/>'
    write("exposure_low", frame.format(c=DIM) + f'<path d="M4.5 7 H9.5" stroke="{DIM}" stroke-width="1.5"/>')
    write("exposure_high", frame.format(c=GLYPH)
          + f'<path d="M4.2 7 H9.8 M7 4.2 V9.8" stroke="{GLYPH}" stroke-width="1.5"/>')


if __name__ == "__main__":
    icons()

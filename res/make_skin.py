#!/usr/bin/env python3
"""Writes the station's skin images (res/skin/*.svg).

Every image is vector so it stays sharp at any scaling; each file is named by the
role it plays in the user interface, and its width and height are the logical
pixel size the controls lay out with. Edit the drawing here and run the script
again: the SVG files are its output, kept in the repository so the build needs
no Python.
"""
import math
import os

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "skin")

# The skin's palette. Greys come from the station's colour table; the accent
# (lit and active states) is a cool surgical teal, the record colour a clear red.
BG = "#464646"
FRAME = "#222222"
FACE_TOP = "#5d5d5d"
FACE_BOTTOM = "#3d3d3d"
EDGE = "#1b1b1b"
GLYPH = "#e4e4e4"
GLYPH_DIM = "#a8a8a8"
ACCENT = "#33b3d8"
ACCENT_DARK = "#1f7d99"
RECORD = "#e0392f"
RECORD_DARK = "#8e1d17"
FONT = "Arial"  # fontconfig gives Liberation Sans, metric-compatible


def svg(w, h, body, defs=""):
    d = f"<defs>{defs}</defs>" if defs else ""
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" '
            f'viewBox="0 0 {w} {h}">{d}{body}</svg>\n')


def write(name, text):
    with open(os.path.join(OUT, name + ".svg"), "w", encoding="utf-8") as f:
        f.write(text)


def vgrad(gid, top, bottom, stops=None):
    s = stops or [(0, top), (1, bottom)]
    inner = "".join(f'<stop offset="{o}" stop-color="{c}"/>' for o, c in s)
    return f'<linearGradient id="{gid}" x1="0" y1="0" x2="0" y2="1">{inner}</linearGradient>'


def plate(w, h, r=4, top=FACE_TOP, bottom=FACE_BOTTOM, edge=EDGE, gid="face", glow=None):
    """A raised button plate: gradient face, dark edge, a faint top highlight."""
    defs = vgrad(gid, top, bottom)
    body = (f'<rect x="0.5" y="0.5" width="{w-1}" height="{h-1}" rx="{r}" '
            f'fill="url(#{gid})" stroke="{edge}"/>'
            f'<path d="M{r+1} 1.5 H{w-r-1}" stroke="#ffffff" stroke-opacity="0.16"/>')
    if glow:
        body += (f'<rect x="1.5" y="1.5" width="{w-3}" height="{h-3}" rx="{r-1}" '
                 f'fill="none" stroke="{glow}" stroke-opacity="0.9"/>')
    return defs, body


# --- buttons ---------------------------------------------------------------------

def buttons():
    d, b = plate(100, 40)
    write("button", svg(100, 40, b, d))
    d, b = plate(50, 20, r=3)
    write("auto_button", svg(50, 20, b, d))
    d, b = plate(50, 20, r=3, top="#3fbfe3", bottom="#1d86a6", edge="#0f4a5c")
    write("auto_button_lit", svg(50, 20, b, d))

    # Control panel: the drop-up buttons carry a small caret at the right edge.
    caret = '<path d="M96 24 l4 -5 l4 5 z" fill="{c}"/>'
    for role in ("resolution", "rotation"):
        d, b = plate(110, 40)
        write(f"panel_{role}", svg(110, 40, b + caret.format(c=GLYPH_DIM), d))
        d, b = plate(110, 40, top="#4a5a60", bottom="#2f3b40", glow=ACCENT)
        write(f"panel_{role}_open", svg(110, 40, b + caret.format(c=ACCENT).replace("M96 24 l4 -5 l4 5", "M96 18 l4 5 l4 -5"), d))

    live_dot = '<circle cx="22" cy="20" r="4.5" fill="{f}" stroke="{s}"/>'
    d, b = plate(100, 40)
    write("panel_live", svg(100, 40, b + live_dot.format(f="#6b6b6b", s="#2a2a2a"), d))
    d, b = plate(100, 40, top="#4a5a60", bottom="#2f3b40", glow=ACCENT)
    write("panel_live_on", svg(100, 40, b + live_dot.format(f=ACCENT, s="#0f4a5c")
                              + '<circle cx="22" cy="20" r="7.5" fill="none" stroke="#33b3d8" stroke-opacity="0.35"/>', d))

    camera = ('<g fill="none" stroke="{c}" stroke-width="2" stroke-linejoin="round">'
              '<path d="M22 21 h7 l3 -4 h8 l3 4 h7 a2 2 0 0 1 2 2 v16 a2 2 0 0 1 -2 2 h-28 a2 2 0 0 1 -2 -2 v-16 a2 2 0 0 1 2 -2 z"/>'
              '<circle cx="36" cy="30" r="6"/></g><circle cx="46" cy="25" r="1.4" fill="{c}"/>')
    d, b = plate(72, 56, r=5)
    write("panel_snapshot", svg(72, 56, b + camera.format(c=GLYPH), d))

    d, b = plate(72, 56, r=5)
    rec = (f'<circle cx="36" cy="28" r="13" fill="#2a2a2a" stroke="{EDGE}"/>'
           f'<circle cx="36" cy="28" r="9" fill="{RECORD}"/>'
           f'<circle cx="33" cy="25" r="3" fill="#ffffff" fill-opacity="0.25"/>')
    write("panel_record", svg(72, 56, b + rec, d))
    d, b = plate(72, 56, r=5, top="#5c3a38", bottom="#3a2422", glow=RECORD)
    write("panel_record_on", svg(72, 56, b + f'<circle cx="36" cy="28" r="15" fill="#1e1414" stroke="{RECORD_DARK}"/>', d))

    # The microphone volume backdrop, also the plate of small secondary buttons.
    d = vgrad("well", "#262626", "#303030")
    write("slider_backdrop", svg(100, 40,
        '<rect x="0.5" y="0.5" width="99" height="39" rx="5" fill="url(#well)" stroke="#151515"/>'
        '<path d="M6 38.5 H94" stroke="#ffffff" stroke-opacity="0.08"/>', d))


def speaker_glyph(c=GLYPH):
    return f'<path d="M8 16 h5 l7 -6 v20 l-7 -6 h-5 z" fill="{c}" stroke="{c}" stroke-linejoin="round"/>'


def speakers():
    base = ('<rect x="0.5" y="0.5" width="39" height="39" rx="5" fill="#2c2c2c" stroke="#171717"/>')
    write("speaker", svg(40, 40, base + speaker_glyph()
          + f'<path d="M24 15 a7 7 0 0 1 0 10" fill="none" stroke="{GLYPH_DIM}" stroke-width="2" stroke-linecap="round"/>'))
    write("speaker_muted", svg(40, 40, base + speaker_glyph(GLYPH_DIM)
          + f'<path d="M24 15 l9 10 M33 15 l-9 10" stroke="{RECORD}" stroke-width="2.4" stroke-linecap="round"/>'))
    # Level pictures: the speaker with one to five lit bars of a level meter.
    for level in range(1, 6):
        bars = ""
        for i in range(5):
            x = 24 + i * 3
            h = 4 + i * 3
            y = 28 - h
            colour = ACCENT if i < level else "#4a4a4a"
            if i < level and i == 4:
                colour = "#f0c23b"
            bars += f'<rect x="{x}" y="{y}" width="2" height="{h}" rx="0.5" fill="{colour}"/>'
        write(f"speaker_level_{level}", svg(40, 40, base + speaker_glyph() + bars))


def record_indicator():
    # Twelve frames of a sweep around a red core, one every 200 ms while recording.
    for n in range(1, 13):
        body = '<circle cx="16" cy="16" r="14" fill="#1e1414"/>'
        for i in range(12):
            a = math.radians(i * 30 - 90)
            age = (n - 1 - i) % 12
            op = max(0.12, 1.0 - age * 0.14)
            x1, y1 = 16 + 10 * math.cos(a), 16 + 10 * math.sin(a)
            x2, y2 = 16 + 13 * math.cos(a), 16 + 13 * math.sin(a)
            body += (f'<path d="M{x1:.2f} {y1:.2f} L{x2:.2f} {y2:.2f}" stroke="{RECORD}" '
                     f'stroke-opacity="{op:.2f}" stroke-width="2.2" stroke-linecap="round"/>')
        pulse = 6.0 + (0.8 if n % 2 else 0)
        body += f'<circle cx="16" cy="16" r="{pulse}" fill="{RECORD}"/>'
        body += '<circle cx="14" cy="14" r="2" fill="#ffffff" fill-opacity="0.3"/>'
        write(f"record_indicator_{n:02d}", svg(32, 32, body))


def caption():
    d = vgrad("cap", "#2b2b2b", "#1d1d1d")
    write("caption_tile", svg(20, 25, '<rect width="20" height="25" fill="url(#cap)"/>'
                                      '<rect y="24" width="20" height="1" fill="#111111"/>', d))
    write("logo", svg(58, 16,
        f'<circle cx="5" cy="8" r="4" fill="none" stroke="{ACCENT}" stroke-width="1.6"/>'
        f'<circle cx="5" cy="8" r="1.4" fill="{ACCENT}"/>'
        f'<text x="12" y="12" font-family="{FONT}" font-size="10.5" font-weight="bold" '
        f'letter-spacing="0.4" fill="#ffffff">KESTOVAR</text>'))

    def box(glyph, cross=GLYPH_DIM, square="#6a6a6a"):
        return svg(19, 19, f'<rect x="1.5" y="1.5" width="16" height="16" rx="2" fill="#2a2a2a" '
                           f'stroke="{square}"/>' + glyph.format(c=cross))
    x = '<path d="M6 6 L13 13 M13 6 L6 13" stroke="{c}" stroke-width="1.6" stroke-linecap="round"/>'
    write("dialog_close", box(x))
    write("dialog_close_hover", box(x, "#ffffff", "#9a9a9a"))
    write("caption_close", box(x))
    write("caption_maximize", box('<rect x="5.5" y="5.5" width="8" height="8" fill="none" stroke="{c}" stroke-width="1.4"/>'))
    write("caption_minimize", box('<path d="M5.5 12.5 H13.5" stroke="{c}" stroke-width="1.6" stroke-linecap="round"/>'))
    write("caption_fullscreen", box('<path d="M5 8 V5 H8 M11 5 H14 V8 M14 11 V14 H11 M8 14 H5 V11" fill="none" '
                                    'stroke="{c}" stroke-width="1.4" stroke-linecap="round"/>'))
    write("size_grip", svg(12, 12, "".join(
        f'<rect x="{x}" y="{y}" width="2" height="2" fill="#777777"/>'
        for x, y in ((9, 9), (5, 9), (9, 5), (1, 9), (5, 5), (9, 1)))))


def panel_pictures():
    d = vgrad("bar", "#2e2e2e", "#1a1a1a") 
    write("panel_bottom_bar", svg(8, 70, '<rect width="8" height="70" fill="url(#bar)"/>'
                                         '<rect width="8" height="1" fill="#4a4a4a"/>', d))
    write("panel_centre", svg(350, 150,
        f'<g transform="translate(58 75)" fill="none" stroke-width="3">'
        f'<circle r="40" stroke="#3a3a3a"/><circle r="28" stroke="#4a4a4a"/>'
        f'<circle r="16" stroke="{ACCENT_DARK}"/></g>'
        f'<circle cx="58" cy="75" r="6" fill="{ACCENT_DARK}"/>'
        f'<text x="118" y="78" font-family="{FONT}" font-size="38" font-weight="bold" '
        f'letter-spacing="2" fill="#5a5a5a">KESTOVAR</text>'
        f'<text x="120" y="102" font-family="{FONT}" font-size="13" letter-spacing="1.2" '
        f'fill="#4e4e4e">SURGICAL CAPTURE STATION</text>'))
    write("popup_background", svg(140, 100,
        f'<rect x="0.5" y="0.5" width="139" height="99" rx="3" fill="{FRAME}" stroke="#4c4c4c"/>'))


def transport():
    ring = '<circle cx="16" cy="16" r="15" fill="#2a2a2a" stroke="#5a5a5a"/>'
    g = GLYPH
    write("transport_play", svg(32, 32, ring + f'<path d="M13 10 L23 16 L13 22 z" fill="{g}"/>'))
    write("transport_pause", svg(32, 32, ring + f'<rect x="11" y="10" width="3.5" height="12" fill="{g}"/>'
                                                f'<rect x="17.5" y="10" width="3.5" height="12" fill="{g}"/>'))
    write("transport_skip_back", svg(32, 32, ring + f'<path d="M16 11 L9 16 L16 21 z M23 11 L16 16 L23 21 z" fill="{g}"/>'))
    write("transport_skip_forward", svg(32, 32, ring + f'<path d="M9 11 L16 16 L9 21 z M16 11 L23 16 L16 21 z" fill="{g}"/>'))
    arrows = ('<path d="{p}" fill="none" stroke="' + g + '" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/>')
    write("transport_enlarge", svg(32, 32, ring + arrows.format(
        p="M9 13 V9 H13 M19 9 H23 V13 M23 19 V23 H19 M13 23 H9 V19")))
    write("transport_shrink", svg(32, 32, ring + arrows.format(
        p="M13 9 V13 H9 M23 13 H19 V9 M19 23 V19 H23 M9 19 H13 V23")))
    # Seek bar channel (stretched along the bar) and the master volume channel pair.
        # Square ends: the seek bar stretches this along its whole length.
    write("seek_channel", svg(16, 8, '<rect x="0" y="0" width="16" height="8" fill="#555555"/>'
                                     '<rect x="0" y="1" width="16" height="6" fill="#1a1a1a"/>'))
    def vol(fill):
        return svg(100, 20, f'<rect x="8" y="8" width="84" height="4" rx="2" fill="{fill}"/>')
    write("volume_channel", vol("#555555"))
    write("volume_channel_active", vol(ACCENT))
    write("volume_thumb", svg(12, 16, '<rect x="1" y="1" width="10" height="14" rx="3" fill="#d8d8d8" stroke="#1a1a1a"/>'
                                      '<path d="M6 4 V12" stroke="#7a7a7a" stroke-width="1.2"/>'))
    write("volume_thumb_active", svg(12, 16, f'<rect x="1" y="1" width="10" height="14" rx="3" fill="#ffffff" stroke="{ACCENT_DARK}"/>'
                                             f'<path d="M6 4 V12" stroke="{ACCENT}" stroke-width="1.2"/>'))


def sliders():
    write("slider_channel", svg(212, 20,
        '<rect x="1" y="8" width="210" height="5" rx="2.5" fill="#1b1b1b" stroke="#5c5c5c" stroke-width="0.8"/>'
        + "".join(f'<rect x="{5 + i * 20.2:.1f}" y="16" width="1" height="2" fill="#6a6a6a"/>' for i in range(11))))
    write("slider_thumb", svg(10, 15, '<path d="M1 1.5 H9 V10 L5 14 L1 10 z" fill="#e6e6e6" stroke="#1a1a1a" stroke-linejoin="round"/>'
                                      f'<path d="M5 4 V10" stroke="{ACCENT_DARK}" stroke-width="1.4"/>'))
    write("slider_thumb_disabled", svg(10, 15, '<path d="M1 1.5 H9 V10 L5 14 L1 10 z" fill="#6a6a6a" stroke="#2a2a2a" stroke-linejoin="round"/>'))
    write("mic_bar_before", svg(52, 12, f'<rect x="0" y="4" width="52" height="4" rx="2" fill="{ACCENT}"/>'))
    write("mic_bar_after", svg(52, 12, '<rect x="0" y="4" width="52" height="4" rx="2" fill="#555555"/>'))
    write("mic_thumb", svg(7, 9, '<circle cx="3" cy="3" r="2.6" fill="#ffffff" stroke="#1a1a1a" stroke-width="0.6"/>'))


def checkbox_strip():
    cells = ""
    for i in range(10):
        disabled = i >= 6
        j = i - 6 if disabled else i
        hover, checked = bool(j & 1), bool(j & 2)
        x = i * 13
        border = "#5a5a5a" if disabled else ("#e0e0e0" if hover else "#9a9a9a")
        fill = "#2b2b2b"
        if checked:
            fill = "#3c5a63" if disabled else (ACCENT if not hover else "#4cc4e6")
            border = "#3c5a63" if disabled else ("#bff0ff" if hover else ACCENT_DARK)
        cells += f'<rect x="{x + 1}" y="1" width="11" height="11" rx="2" fill="{fill}" stroke="{border}"/>'
        if checked:
            tick = "#9a9a9a" if disabled else "#ffffff"
            cells += (f'<path d="M{x + 3.5} 6.8 L{x + 5.6} 9 L{x + 9.6} 4" fill="none" stroke="{tick}" '
                      'stroke-width="1.7" stroke-linecap="round" stroke-linejoin="round"/>')
    # Indices 4 and 5 are never shown, as the check box uses 0-3 and 6-9.
    write("checkbox_strip", svg(130, 13, cells))


def combo():
    write("combo_left", svg(2, 21, '<rect width="2" height="21" fill="#1b1b1b"/><rect x="1" y="1" width="1" height="19" fill="#3a3a3a"/>'))
    write("combo_middle", svg(16, 21, '<rect width="16" height="21" fill="#3a3a3a"/><rect width="16" height="1" fill="#1b1b1b"/>'
                                      '<rect y="20" width="16" height="1" fill="#1b1b1b"/>'))
    d = vgrad("cb", "#555555", "#3a3a3a")
    write("combo_button", svg(21, 21, '<rect width="21" height="21" fill="url(#cb)"/>'
                                      '<rect x="20" width="1" height="21" fill="#1b1b1b"/><rect width="21" height="1" fill="#1b1b1b"/>'
                                      '<rect y="20" width="21" height="1" fill="#1b1b1b"/><rect width="1" height="21" fill="#2a2a2a"/>'
                                      f'<path d="M6.5 9 L10.5 13 L14.5 9 z" fill="{GLYPH}"/>', d))
    for side, w, h in (("left", 4, 16), ("right", 4, 16), ("top", 16, 4), ("bottom", 16, 4)):
        write(f"combo_list_{side}", svg(w, h, f'<rect width="{w}" height="{h}" fill="#2b2b2b"/>'
                                               + {"left": '<rect width="1" height="16" fill="#5a5a5a"/>',
                                                  "right": '<rect x="3" width="1" height="16" fill="#5a5a5a"/>',
                                                  "top": '<rect width="16" height="1" fill="#5a5a5a"/>',
                                                  "bottom": '<rect y="3" width="16" height="1" fill="#5a5a5a"/>'}[side]))


def scroll():
    t = 14
    rows = [("#2c2c2c", "#9a9a9a", "#5a5a5a"),   # normal: cell, glyph, thumb
            ("#363636", "#e6e6e6", "#7a7a7a"),   # hovered
            ("#1f1f1f", ACCENT, ACCENT_DARK)]    # pressed
    body = ""
    arrows = {0: "M3.5 9 L7 5 L10.5 9", 1: "M3.5 5 L7 9 L10.5 5", 4: "M9 3.5 L5 7 L9 10.5", 5: "M5 3.5 L9 7 L5 10.5"}
    for r, (cell, glyph, thumb) in enumerate(rows):
        y = r * t
        for c in range(9):
            x = c * t
            if c in arrows:
                body += f'<rect x="{x}" y="{y}" width="{t}" height="{t}" fill="{cell}"/>'
                body += (f'<path transform="translate({x} {y})" d="{arrows[c]}" fill="none" stroke="{glyph}" '
                         'stroke-width="1.6" stroke-linecap="round" stroke-linejoin="round"/>')
            elif c in (2, 6):
                # Thumbs: 3-pixel ends and a middle that repeats along the bar.
                body += f'<rect x="{x}" y="{y}" width="{t}" height="{t}" fill="#262626"/>'
                if c == 2:
                    body += f'<rect x="{x + 3}" y="{y + 1}" width="8" height="12" rx="2" fill="{thumb}"/>'
                else:
                    body += f'<rect x="{x + 1}" y="{y + 3}" width="12" height="8" rx="2" fill="{thumb}"/>'
            elif c in (3, 7):
                body += f'<rect x="{x}" y="{y}" width="{t}" height="{t}" fill="#262626"/>'
            else:
                body += f'<rect x="{x}" y="{y}" width="{t}" height="{t}" fill="#262626"/>'
    write("scrollbar_grid", svg(9 * t, 3 * t, body))
    write("scroll_up", svg(t, t, f'<rect width="{t}" height="{t}" fill="#2c2c2c"/><path d="{arrows[0]}" fill="none" stroke="#b0b0b0" stroke-width="1.6" stroke-linecap="round"/>'))
    write("scroll_down", svg(t, t, f'<rect width="{t}" height="{t}" fill="#2c2c2c"/><path d="{arrows[1]}" fill="none" stroke="#b0b0b0" stroke-width="1.6" stroke-linecap="round"/>'))
    write("scroll_channel", svg(t, t, f'<rect width="{t}" height="{t}" fill="#262626"/>'))
    write("scroll_thumb", svg(t, t, f'<rect width="{t}" height="{t}" fill="#262626"/><rect x="3" y="1" width="8" height="12" rx="2" fill="#6a6a6a"/>'))


def splash():
    d = (vgrad("sbg", "#3a3a3a", "#1c1c1c")
         + '<radialGradient id="halo" cx="0.5" cy="0.38" r="0.55">'
           '<stop offset="0" stop-color="#33b3d8" stop-opacity="0.18"/>'
           '<stop offset="1" stop-color="#33b3d8" stop-opacity="0"/></radialGradient>')
    lens = ('<g transform="translate(325 160)" fill="none">'
            '<circle r="70" stroke="#4a4a4a" stroke-width="4"/>'
            '<circle r="52" stroke="#5a5a5a" stroke-width="3"/>'
            f'<circle r="34" stroke="{ACCENT_DARK}" stroke-width="4"/>'
            f'<circle r="18" fill="{ACCENT}" fill-opacity="0.85"/>'
            '<circle cx="-6" cy="-6" r="5" fill="#ffffff" fill-opacity="0.45"/></g>')
    body = (f'<rect width="650" height="450" fill="url(#sbg)"/><rect width="650" height="450" fill="url(#halo)"/>'
            f'<rect x="0.5" y="0.5" width="649" height="449" fill="none" stroke="#5a5a5a"/>'
            + lens +
            f'<text x="325" y="292" text-anchor="middle" font-family="{FONT}" font-size="46" '
            f'font-weight="bold" letter-spacing="6" fill="#f2f2f2">KESTOVAR</text>'
            f'<text x="325" y="322" text-anchor="middle" font-family="{FONT}" font-size="15" '
            f'letter-spacing="3" fill="#9a9a9a">SURGICAL CAPTURE STATION</text>'
            f'<rect x="0" y="400" width="650" height="5" fill="#161616"/>'
            f'<text x="24" y="430" font-family="{FONT}" font-size="12" fill="#7a7a7a">Starting…</text>')
    write("splash_background", svg(650, 450, body, d))
    d = vgrad("prog", "#6fd6f2", ACCENT_DARK)
    write("splash_progress", svg(12, 5, '<rect width="12" height="5" fill="url(#prog)"/>', d))


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    for make in (buttons, speakers, record_indicator, caption, panel_pictures, transport,
                 sliders, checkbox_strip, combo, scroll, splash):
        make()
    print(f"{len(os.listdir(OUT))} images in {OUT}")

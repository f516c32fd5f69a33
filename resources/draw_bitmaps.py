#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the editor's bitmaps: the panel (101), the knob film strip (102), the oversampling
switch's strip (103), the name plate's font (104) and the cabinet selector's arrows (105).

Run on demand with a Python that has Pillow; writes background.bmp, knob_strip.bmp,
switch_strip.bmp, font_strip.bmp and selector_strip.bmp next to this script. Everything but the
font is drawn at four times the size and reduced, for smooth edges; the font is drawn at its own
size, where the hinting keeps its strokes on whole pixels. The panel
colour depends on the row only, so the corners of every knob frame match the panel wherever the
knob sits.
"""

import math
import os

from PIL import Image, ImageDraw, ImageFilter, ImageFont

SCALE = 4
PANEL_W, PANEL_H = 680, 120
KNOB = 50
FRAMES = 256
KNOB_LEFTS = [26, 106, 187, 267, 348, 428]
KNOB_TOP = 26
LABELS = ["MASTER", "DRIVE", "TREBLE", "MIDDLE", "BASS", "VOLUME"]
START_DEG, SWEEP_DEG = 225.0, -270.0
# The oversampling switch in the name plate: one frame per position, its label lit.
SWITCH_LEFT, SWITCH_TOP, SWITCH_W, SWITCH_H = 547, 76, 90, 18
SWITCH_LABELS = ["2x", "4x", "8x"]
PLATE_CENTRE = 592
# The cabinet selector under the title: a dark display with an arrow at each end. The panel's text
# view covers the display between the arrows (editor/amp_panel.cpp holds the same numbers).
SELECTOR_LEFT, SELECTOR_TOP, SELECTOR_W, SELECTOR_H = 514, 45, 156, 14
ARROW_W = 12
TEXT_LEFT, TEXT_TOP = SELECTOR_LEFT + ARROW_W, SELECTOR_TOP + 2
TEXT_W, TEXT_H = SELECTOR_W - 2 * ARROW_W, 10
# The font: printable ASCII from the space on, one fixed-width cell per character, gold on the
# display's colour, which the text view draws opaque.
GLYPH_W, GLYPH_H, GLYPH_BASELINE = 5, 10, 8
FIRST_GLYPH, GLYPHS = 32, 95
DISPLAY_COLOUR = (18, 17, 16)
TEXT_GOLD = (214, 192, 136)

HERE = os.path.dirname(os.path.abspath(__file__))
FONT_DIRS = ["/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/truetype/liberation"]


def font(name, size):
    for folder in FONT_DIRS:
        path = os.path.join(folder, name)
        if os.path.exists(path):
            return ImageFont.truetype(path, size)
    return ImageFont.load_default()


def panel_colour(y):
    """Charcoal plate, a little lighter towards the top, as if lit from above."""
    t = y / float(PANEL_H * SCALE)
    top, bottom = (58, 56, 54), (30, 29, 28)
    return tuple(int(round(a + (b - a) * t)) for a, b in zip(top, bottom))


def gradient_rows(width, height, y0):
    image = Image.new("RGB", (width, height))
    draw = ImageDraw.Draw(image)
    for y in range(height):
        draw.line([(0, y), (width, y)], fill=panel_colour(y0 + y))
    return image


def pointer_angle(frame):
    return math.radians(START_DEG + SWEEP_DEG * frame / (FRAMES - 1))


def draw_knob(frame):
    size = KNOB * SCALE
    image = gradient_rows(size, size, KNOB_TOP * SCALE)
    c = size / 2.0

    # Scale ticks printed on the plate, from the minimum to the maximum.
    draw = ImageDraw.Draw(image)
    for i in range(11):
        a = math.radians(START_DEG + SWEEP_DEG * i / 10.0)
        r0, r1 = 86, 97 if i in (0, 5, 10) else 93
        draw.line([(c + r0 * math.cos(a), c - r0 * math.sin(a)), (c + r1 * math.cos(a), c - r1 * math.sin(a))],
                  fill=(196, 178, 132), width=5 if i in (0, 5, 10) else 3)

    # Soft shadow below and to the right of the knob.
    shadow = Image.new("L", (size, size), 0)
    ImageDraw.Draw(shadow).ellipse([c - 74 + 6, c - 74 + 10, c + 74 + 6, c + 74 + 10], fill=170)
    shadow = shadow.filter(ImageFilter.GaussianBlur(9))
    image.paste((8, 8, 8), (0, 0), shadow)

    angle = pointer_angle(frame)
    body = Image.new("RGB", (size, size), (0, 0, 0))
    bd = ImageDraw.Draw(body)
    # Knurled skirt: ridges turn with the knob, the light stays where it is.
    radius = 76
    bd.ellipse([c - radius, c - radius, c + radius, c + radius], fill=(20, 20, 22))
    ridges = 40
    for i in range(ridges):
        a = angle + 2 * math.pi * i / ridges
        light = 0.5 + 0.5 * math.cos(a - math.radians(120))
        shade = int(30 + 60 * light)
        bd.line([(c + 62 * math.cos(a), c - 62 * math.sin(a)), (c + 75 * math.cos(a), c - 75 * math.sin(a))],
                fill=(shade, shade, shade + 2), width=4)
    # Cap with a sheen from the upper left.
    cap = 58
    for r in range(cap, 0, -1):
        t = r / float(cap)
        base = int(26 + 22 * (1 - t))
        bd.ellipse([c - r, c - r, c + r, c + r], fill=(base, base, base + 2))
    sheen = Image.new("L", (size, size), 0)
    ImageDraw.Draw(sheen).ellipse([c - 44, c - 52, c + 10, c - 8], fill=90)
    sheen = sheen.filter(ImageFilter.GaussianBlur(12))
    body.paste((150, 150, 155), (0, 0), sheen)
    # Rim light and the cream pointer line.
    bd.ellipse([c - cap, c - cap, c + cap, c + cap], outline=(70, 70, 74), width=3)
    x0, y0 = c + 14 * math.cos(angle), c - 14 * math.sin(angle)
    x1, y1 = c + 70 * math.cos(angle), c - 70 * math.sin(angle)
    bd.line([(x0, y0), (x1, y1)], fill=(236, 226, 196), width=9)
    bd.ellipse([x1 - 4.5, y1 - 4.5, x1 + 4.5, y1 + 4.5], fill=(236, 226, 196))

    mask = Image.new("L", (size, size), 0)
    ImageDraw.Draw(mask).ellipse([c - radius, c - radius, c + radius, c + radius], fill=255)
    image.paste(body, (0, 0), mask)
    return image.resize((KNOB, KNOB), Image.LANCZOS)


def draw_strip():
    strip = Image.new("RGB", (KNOB, KNOB * FRAMES))
    for frame in range(FRAMES):
        strip.paste(draw_knob(frame), (0, frame * KNOB))
    return strip.quantize(colors=256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)


def draw_switch_frame(selected):
    w, h = SWITCH_W * SCALE, SWITCH_H * SCALE
    image = gradient_rows(w, h, SWITCH_TOP * SCALE)
    draw = ImageDraw.Draw(image)
    # A recessed slot with a gold rim; the selected segment is a lit gold key.
    draw.rounded_rectangle([2, 2, w - 3, h - 3], radius=18, fill=(18, 17, 16), outline=(120, 108, 78), width=4)
    segment = w / float(len(SWITCH_LABELS))
    face = font("DejaVuSans-Bold.ttf", 8 * SCALE)
    for i, text in enumerate(SWITCH_LABELS):
        x0, x1 = i * segment, (i + 1) * segment
        if i == selected:
            draw.rounded_rectangle([x0 + 10, 10, x1 - 11, h - 11], radius=10, fill=(214, 192, 136))
            colour = (34, 32, 30)
        else:
            colour = (150, 142, 122)
            if i > 0 and i - 1 != selected:
                draw.line([(x0, 18), (x0, h - 19)], fill=(70, 66, 58), width=3)
        centred_text(draw, (x0 + x1) / 2.0, (SWITCH_H - 6) / 2.0 * SCALE, text, face, colour)
    return image.resize((SWITCH_W, SWITCH_H), Image.LANCZOS)


def draw_font_strip():
    face = font("DejaVuSansMono.ttf", 9)
    strip = Image.new("RGB", (GLYPH_W * GLYPHS, GLYPH_H), DISPLAY_COLOUR)
    draw = ImageDraw.Draw(strip)
    for i in range(GLYPHS):
        text = chr(FIRST_GLYPH + i)
        x = i * GLYPH_W + (GLYPH_W - face.getlength(text)) / 2.0
        draw.text((x, GLYPH_BASELINE), text, font=face, fill=TEXT_GOLD, anchor="ls")
    return strip


def draw_text(image, font_strip, text):
    """What the panel's text view draws for a short ASCII text: centred in its rectangle."""
    left = TEXT_LEFT + (TEXT_W - GLYPH_W * len(text)) // 2
    top = TEXT_TOP + (TEXT_H - GLYPH_H) // 2
    for k, char in enumerate(text):
        x = (ord(char) - FIRST_GLYPH) * GLYPH_W
        image.paste(font_strip.crop((x, 0, x + GLYPH_W, GLYPH_H)), (left + k * GLYPH_W, top))


def draw_selector(first, last):
    """The whole selector; an arrow that cannot step further is dimmed."""
    w, h = SELECTOR_W * SCALE, SELECTOR_H * SCALE
    image = gradient_rows(w, h, SELECTOR_TOP * SCALE)
    draw = ImageDraw.Draw(image)
    draw.rounded_rectangle([2, 2, w - 3, h - 3], radius=14, fill=DISPLAY_COLOUR, outline=(120, 108, 78), width=4)
    arrow = ARROW_W * SCALE
    cy = h / 2.0
    for centre, direction, blocked in ((arrow / 2.0 + 2, -1, first), (w - arrow / 2.0 - 2, 1, last)):
        colour = (70, 66, 58) if blocked else TEXT_GOLD
        tip, back = centre + direction * 10, centre - direction * 10
        draw.polygon([(tip, cy), (back, cy - 14), (back, cy + 14)], fill=colour)
    image = image.resize((SELECTOR_W, SELECTOR_H), Image.LANCZOS)
    image.paste(DISPLAY_COLOUR, (ARROW_W, 2, SELECTOR_W - ARROW_W, 2 + TEXT_H))
    return image


def draw_selector_strip():
    """Per frame, the arrows' ends of the selector (the display between them is the panel's):
    at the first position, between, at the last."""
    strip = Image.new("RGB", (2 * ARROW_W, SELECTOR_H * 3))
    for frame, (first, last) in enumerate(((True, False), (False, False), (False, True))):
        selector = draw_selector(first, last)
        top = frame * SELECTOR_H
        strip.paste(selector.crop((0, 0, ARROW_W, SELECTOR_H)), (0, top))
        strip.paste(selector.crop((SELECTOR_W - ARROW_W, 0, SELECTOR_W, SELECTOR_H)), (ARROW_W, top))
    return strip


def draw_switch_strip():
    strip = Image.new("RGB", (SWITCH_W, SWITCH_H * len(SWITCH_LABELS)))
    for position in range(len(SWITCH_LABELS)):
        strip.paste(draw_switch_frame(position), (0, position * SWITCH_H))
    return strip


def centred_text(draw, x, y, text, face, fill):
    left, top, right, bottom = draw.textbbox((0, 0), text, font=face)
    draw.text((x - (right - left) / 2.0 - left, y - top), text, font=face, fill=fill)


def draw_background(strip, switch_strip, font_strip):
    w, h = PANEL_W * SCALE, PANEL_H * SCALE
    image = gradient_rows(w, h, 0)
    draw = ImageDraw.Draw(image)
    gold = (201, 180, 128)
    cream = (232, 222, 196)
    # Pinstripe border and a divider before the name plate.
    draw.rounded_rectangle([10, 10, w - 11, h - 11], radius=24, outline=gold, width=5)
    draw.line([(510 * SCALE, 18 * SCALE), (510 * SCALE, 102 * SCALE)], fill=(90, 82, 62), width=4)

    label = font("DejaVuSans-Bold.ttf", 9 * SCALE)
    for left, text in zip(KNOB_LEFTS, LABELS):
        centred_text(draw, (left + KNOB / 2.0) * SCALE, 84 * SCALE, text, label, cream)

    # Title and subtitle moved up to leave the switch and its caption room above the lower screws.
    # The title smaller than it was, to leave the cabinet selector and its caption room.
    name = font("DejaVuSerif-BoldItalic.ttf", 24 * SCALE)
    caption = font("DejaVuSans.ttf", 6 * SCALE)
    centred_text(draw, PLATE_CENTRE * SCALE, 12 * SCALE, "Quarvine", name, gold)
    centred_text(draw, PLATE_CENTRE * SCALE, 38 * SCALE, "CABINET", caption, gold)
    centred_text(draw, PLATE_CENTRE * SCALE, 67 * SCALE, "OVERSAMPLING", caption, gold)
    # Two screws in the corners of the name plate.
    for x, y in ((528, 16), (656, 104), (528, 104), (656, 16)):
        cx, cy = x * SCALE, y * SCALE
        draw.ellipse([cx - 12, cy - 12, cx + 12, cy + 12], fill=(110, 108, 104), outline=(24, 24, 24), width=2)
        draw.line([(cx - 9, cy - 9), (cx + 9, cy + 9)], fill=(40, 40, 40), width=4)

    image = image.resize((PANEL_W, PANEL_H), Image.LANCZOS)
    # The knobs at their defaults, taken from the strip so that their corners match exactly.
    rgb_strip = strip.convert("RGB")
    defaults = [127, 127, 127, 127, 127, 255]
    for left, frame in zip(KNOB_LEFTS, defaults):
        image.paste(rgb_strip.crop((0, frame * KNOB, KNOB, (frame + 1) * KNOB)), (left, KNOB_TOP))
    image.paste(switch_strip.crop((0, 0, SWITCH_W, SWITCH_H)), (SWITCH_LEFT, SWITCH_TOP))
    # The selector at its default, no cabinet, with the text the panel shows for it.
    image.paste(draw_selector(True, False), (SELECTOR_LEFT, SELECTOR_TOP))
    draw_text(image, font_strip, "Off")
    return image


def main():
    strip = draw_strip()
    strip.save(os.path.join(HERE, "knob_strip.bmp"))
    switch_strip = draw_switch_strip()
    switch_strip.save(os.path.join(HERE, "switch_strip.bmp"))
    font_strip = draw_font_strip()
    font_strip.save(os.path.join(HERE, "font_strip.bmp"))
    draw_selector_strip().save(os.path.join(HERE, "selector_strip.bmp"))
    draw_background(strip, switch_strip, font_strip).save(os.path.join(HERE, "background.bmp"))


if __name__ == "__main__":
    main()

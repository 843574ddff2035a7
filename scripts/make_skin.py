#!/usr/bin/python3
"""Draws the default Pontiq skin into resources/Skin.

Every image of the skin folder is drawn here with Pillow; the generated files are committed, so
only a change of the look needs this script. The output is deterministic for a given Pillow and
set of fonts.

    scripts/make_skin.py [--out DIR] [--sheet contact_sheet.png]

Needs the Debian packages python3-pil, fonts-liberation2 and fonts-noto-cjk (run it with the
system Python, which has python3-pil).

Images are drawn at their 96-dpi pixel size. Shapes are rendered at four times the size into a
coverage mask and reduced by area averaging, so edges are smooth but never blurred by scaling a
small picture up. Button images carry no captions: the program draws the translated text over
them. The pictures that show words by nature (install help, the web and bridge cell pictures)
come in a Chinese and an other-language version.
"""

import argparse
import math
import os
import sys

from PIL import Image, ImageDraw, ImageFont

SS = 4  # supersampling factor of the shape masks

# ---- palette -------------------------------------------------------------------------------
# Chosen to sit with the default Setting.ini colours: white pages, grid header 237,112,32 on
# 221,217,196, selected text 216,34,40, lines 215,215,215, online 0,153,0, offline 142,142,142.
WHITE = (255, 255, 255)
INK = (44, 51, 60)  # header band
INK_SOFT = (53, 61, 71)  # decoration on the header
INK_ICON = (74, 82, 93)  # icons on light ground
HEADER_GLYPH = (206, 211, 217)
MUTED = (142, 142, 142)
ACCENT = (216, 34, 40)
ORANGE = (237, 112, 32)
ORANGE_DARK = (190, 82, 14)
ORANGE_TINT = (253, 241, 230)
ORANGE_EDGE = (238, 178, 128)
SAND = (221, 217, 196)
SAND_TEXT = (104, 97, 78)
SIDEBAR = (246, 245, 241)
SIDEBAR_EDGE = (224, 221, 210)
LINE = (215, 215, 215)
EDIT_LINE = (207, 207, 207)
GREEN = (0, 153, 0)
BUTTON_FILL = (246, 245, 240)
BUTTON_EDGE = (196, 191, 176)
PRIMARY_FILL = (252, 233, 214)
PRIMARY_EDGE = (226, 148, 88)
WAIT_BK = (242, 242, 242)
BODY_TEXT = (58, 64, 72)

# ---- fonts ---------------------------------------------------------------------------------
LATIN_REGULAR = '/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf'
LATIN_BOLD = '/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf'
CJK_REGULAR = '/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc'
CJK_BOLD = '/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc'
_font_cache = {}


def _cjk_index(path):
    for i in range(8):
        try:
            if 'SC' in ImageFont.truetype(path, 12, index=i).getname()[0].split():
                return i
        except OSError:
            break
    return 0


def font(size, bold=False, cjk=False):
    key = (size, bold, cjk)
    if key not in _font_cache:
        if cjk:
            path = CJK_BOLD if bold else CJK_REGULAR
            _font_cache[key] = ImageFont.truetype(path, size, index=_cjk_index(path))
        else:
            _font_cache[key] = ImageFont.truetype(LATIN_BOLD if bold else LATIN_REGULAR, size)
    return _font_cache[key]


def check_fonts():
    missing = [p for p in (LATIN_REGULAR, LATIN_BOLD, CJK_REGULAR, CJK_BOLD) if not os.path.exists(p)]
    if missing:
        sys.exit('missing fonts: %s\ninstall: apt-get install fonts-liberation2 fonts-noto-cjk'
                 % ', '.join(missing))


# ---- drawing helpers -----------------------------------------------------------------------
# Coordinates are continuous: pixel (x, y) covers [x, x+1) x [y, y+1).

def _aa(img, color, bbox, paint, alpha=255, clip=None):
    """Renders paint(draw, P) into a supersampled mask over bbox and fills it with color."""
    pad = 3
    x0 = max(int(math.floor(bbox[0])) - pad, 0)
    y0 = max(int(math.floor(bbox[1])) - pad, 0)
    x1 = min(int(math.ceil(bbox[2])) + pad, img.width)
    y1 = min(int(math.ceil(bbox[3])) + pad, img.height)
    if clip:
        x0, y0 = max(x0, clip[0]), max(y0, clip[1])
        x1, y1 = min(x1, clip[2]), min(y1, clip[3])
    if x1 <= x0 or y1 <= y0:
        return
    mask = Image.new('L', ((x1 - x0) * SS, (y1 - y0) * SS), 0)
    draw = ImageDraw.Draw(mask)

    def P(x, y):
        return ((x - x0) * SS, (y - y0) * SS)

    paint(draw, P)
    mask = mask.resize((x1 - x0, y1 - y0), Image.Resampling.BOX)
    if alpha != 255:
        mask = mask.point(lambda v: v * alpha // 255)
    img.paste(color, (x0, y0, x1, y1), mask)


def rrect(img, box, radius, fill, alpha=255):
    x0, y0, x1, y1 = box

    def paint(d, P):
        a, b = P(x0, y0), P(x1, y1)
        d.rounded_rectangle([a[0], a[1], b[0] - 1, b[1] - 1], radius=radius * SS, fill=255)

    _aa(img, fill, box, paint, alpha)


def rrect_outlined(img, box, radius, fill, edge, width=1.0):
    rrect(img, box, radius, edge)
    x0, y0, x1, y1 = box
    rrect(img, (x0 + width, y0 + width, x1 - width, y1 - width), max(radius - width, 0), fill)


def ellipse(img, box, fill, alpha=255, clip=None):
    def paint(d, P):
        a, b = P(box[0], box[1]), P(box[2], box[3])
        d.ellipse([a[0], a[1], b[0] - 1, b[1] - 1], fill=255)

    _aa(img, fill, box, paint, alpha, clip)


def circle(img, cx, cy, r, fill, alpha=255):
    ellipse(img, (cx - r, cy - r, cx + r, cy + r), fill, alpha)


def ring(img, cx, cy, r, width, color, alpha=255, clip=None):
    def paint(d, P):
        a, b = P(cx - r, cy - r), P(cx + r, cy + r)
        d.ellipse([a[0], a[1], b[0] - 1, b[1] - 1], outline=255, width=max(int(width * SS), 1))

    _aa(img, color, (cx - r, cy - r, cx + r, cy + r), paint, alpha, clip)


def arc(img, cx, cy, r, start, end, width, color, alpha=255, clip=None, caps=True):
    """Arc of the circle through radius r (centre line), angles in degrees, 0 = east, clockwise."""

    def paint(d, P):
        ro = r + width / 2
        a, b = P(cx - ro, cy - ro), P(cx + ro, cy + ro)
        d.arc([a[0], a[1], b[0] - 1, b[1] - 1], start, end, fill=255, width=max(int(width * SS), 1))
        if caps:
            for ang in (start, end):
                t = math.radians(ang)
                px, py = P(cx + r * math.cos(t), cy + r * math.sin(t))
                hw = width * SS / 2
                d.ellipse([px - hw, py - hw, px + hw, py + hw], fill=255)

    ro = r + width
    _aa(img, color, (cx - ro, cy - ro, cx + ro, cy + ro), paint, alpha, clip)


def line(img, points, width, color, alpha=255, clip=None):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]

    def paint(d, P):
        pts = [P(x, y) for x, y in points]
        d.line(pts, fill=255, width=max(int(round(width * SS)), 1), joint='curve')
        hw = width * SS / 2
        for px, py in (pts[0], pts[-1]):
            d.ellipse([px - hw, py - hw, px + hw, py + hw], fill=255)

    _aa(img, color, (min(xs) - width, min(ys) - width, max(xs) + width, max(ys) + width), paint,
        alpha, clip)


def dashed(img, p0, p1, width, color, dash=8, gap=6):
    length = math.hypot(p1[0] - p0[0], p1[1] - p0[1])
    ux, uy = (p1[0] - p0[0]) / length, (p1[1] - p0[1]) / length
    t = 0.0
    while t < length:
        e = min(t + dash, length)
        line(img, [(p0[0] + ux * t, p0[1] + uy * t), (p0[0] + ux * e, p0[1] + uy * e)], width, color)
        t = e + gap


def polygon(img, points, fill, alpha=255):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]

    def paint(d, P):
        d.polygon([P(x, y) for x, y in points], fill=255)

    _aa(img, fill, (min(xs), min(ys), max(xs), max(ys)), paint, alpha)


def hline(img, x0, x1, y, color):
    ImageDraw.Draw(img).rectangle([x0, y, x1 - 1, y], fill=color)


def vline(img, x, y0, y1, color):
    ImageDraw.Draw(img).rectangle([x, y0, x, y1 - 1], fill=color)


def box(img, x0, y0, x1, y1, color):
    ImageDraw.Draw(img).rectangle([x0, y0, x1 - 1, y1 - 1], fill=color)


def text(img, xy, s, fnt, fill, anchor='la'):
    ImageDraw.Draw(img).text(xy, s, font=fnt, fill=fill, anchor=anchor)


def text_width(s, fnt):
    return fnt.getlength(s)


def cross(img, cx, cy, half, width, color):
    line(img, [(cx - half, cy - half), (cx + half, cy + half)], width, color)
    line(img, [(cx - half, cy + half), (cx + half, cy - half)], width, color)


# ---- shared motifs -------------------------------------------------------------------------

def brand_mark(img, x, y, size, ground=ORANGE, glyph=WHITE):
    """The Pontiq mark: a rounded square holding a through-arch bridge."""
    rrect(img, (x, y, x + size, y + size), size * 0.22, ground)
    s = size
    w = max(s * 0.085, 1.4)
    cx, cy, r = x + s * 0.5, y + s * 0.72, s * 0.33
    deck = y + s * 0.56
    arc(img, cx, cy, r, 180, 360, w, glyph)
    line(img, [(x + s * 0.12, deck), (x + s * 0.88, deck)], w, glyph)
    if s >= 20:  # hangers between the arch and the deck
        for f in (-0.42, 0.0, 0.42):
            hx = cx + r * f
            top = cy - math.sqrt(r * r - (r * f) ** 2)
            line(img, [(hx, top + w * 0.5), (hx, deck)], w * 0.55, glyph)


def signal_waves(img, cx, cy, radii, width, color, start=-45, end=45, alpha=255, clip=None):
    for r in radii:
        arc(img, cx, cy, r, start, end, width, color, alpha, clip)


def cpe_icon(img, x, y, h, body=(236, 236, 231), edge=INK_ICON, pole=True, facing=1):
    """An outdoor CPE unit of height h with its top-left corner at (x, y)."""
    w = h * 0.46
    if pole:
        box(img, int(x + w / 2 - h * 0.035), int(y + h * 0.55), int(x + w / 2 + h * 0.035) + 1,
            int(y + h * 1.5), (150, 154, 160))
        box(img, int(x + w / 2 - h * 0.12), int(y + h * 0.62), int(x + w / 2 + h * 0.12),
            int(y + h * 0.67), (120, 125, 132))
    rrect_outlined(img, (x, y, x + w, y + h), h * 0.12, body, edge, max(h / 40, 1.2))
    rrect(img, (x + w * 0.22, y + h * 0.12, x + w * 0.78, y + h * 0.2), h * 0.03, (200, 202, 204))
    circle(img, x + w * 0.35, y + h * 0.86, max(h * 0.03, 1.2), GREEN)
    circle(img, x + w * 0.65, y + h * 0.86, max(h * 0.03, 1.2), ORANGE)


# ---- individual images ---------------------------------------------------------------------

def make_icon_frame(size):
    img = Image.new('RGBA', (size, size), (0, 0, 0, 0))
    layer = Image.new('RGB', (size, size), WHITE)
    brand_mark(layer, 0, 0, size)
    mask = Image.new('L', (size, size), 0)
    rrect(mask, (0, 0, size, size), size * 0.22, 255)
    img.paste(layer, (0, 0), mask)
    return img


def make_application_ico(path):
    frames = [make_icon_frame(s) for s in (256, 48, 32, 16)]
    frames[0].save(path, format='ICO', sizes=[(16, 16), (32, 32), (48, 48), (256, 256)],
                   append_images=frames[1:])


MAIN_W, MAIN_H = 1056, 674  # 704 x 415 dialog units
HEADER_H = 86  # the page container starts here
NAV_W, NAV_H = 137, 527  # 91 x 324 dialog units
NAV_TOP = 158
TITLE_BUTTONS = (965, 0, MAIN_W, 24)  # area of the three title buttons, kept plain


def header_band(img, width):
    box(img, 0, 0, width, HEADER_H - 2, INK)
    # Faint signal waves at the right end, kept clear of the title buttons.
    clip = (560, 24, width, HEADER_H - 2)
    for i, r in enumerate((70, 108, 146, 184, 222)):
        arc(img, width - 70, HEADER_H + 40, r, 200, 340, 2.0, INK_SOFT, clip=clip)
    box(img, 0, HEADER_H - 2, width, HEADER_H, ORANGE)


def make_main_bk(path):
    img = Image.new('RGB', (MAIN_W, MAIN_H), WHITE)
    header_band(img, MAIN_W)
    brand_mark(img, 24, 21, 42)
    text(img, (80, 42), 'Pontiq', font(30, bold=True), WHITE, anchor='lm')
    # Left column between the header and the navigation panel: the top of the sidebar.
    box(img, 0, HEADER_H, NAV_W, MAIN_H, SIDEBAR)
    vline(img, NAV_W - 1, HEADER_H, MAIN_H, SIDEBAR_EDGE)
    cx = NAV_W // 2
    cpe_icon(img, cx - 9, HEADER_H + 18, 30, pole=False)
    signal_waves(img, cx + 11, HEADER_H + 28, (9, 15, 21), 2.0, ORANGE, -60, 30)
    signal_waves(img, cx - 11, HEADER_H + 28, (9, 15, 21), 2.0, ORANGE, 150, 240)
    hline(img, 16, NAV_W - 17, NAV_TOP - 6, SIDEBAR_EDGE)
    img.save(path, quality=94, subsampling=0, optimize=True)


def make_main_left_bk(path):
    img = Image.new('RGB', (NAV_W, NAV_H), SIDEBAR)
    vline(img, NAV_W - 1, 0, NAV_H, SIDEBAR_EDGE)
    # A quiet watermark of waves near the foot of the panel, above the version label.
    clip = (0, 0, NAV_W - 1, NAV_H)
    for r in (26, 44, 62, 80):
        arc(img, NAV_W // 2, NAV_H - 52, r, 215, 325, 2.0, (236, 234, 226), clip=clip)
    img.save(path, quality=94, subsampling=0, optimize=True)


NAV_BTN = (135, 46)  # 90 x 28 dialog units


def make_nav_button(path, selected):
    w, h = NAV_BTN
    img = Image.new('RGB', (w, h), SIDEBAR)
    if selected:
        # The stacked buttons overlap by up to 4 pixels: keep the mark within rows 2..41.
        box(img, 0, 2, w, 42, WHITE)
        hline(img, 0, w, 2, SIDEBAR_EDGE)
        hline(img, 0, w, 41, SIDEBAR_EDGE)
        box(img, 0, 3, 4, 41, ACCENT)
    img.save(path)


TITLE_BTN = (26, 16)  # 17 x 10 dialog units


def make_title_button(path, kind):
    w, h = TITLE_BTN
    img = Image.new('RGB', (w, h), INK)
    cx, cy = w / 2, h / 2
    if kind == 'close':
        cross(img, cx, cy, 4.2, 1.5, HEADER_GLYPH)
    elif kind == 'min':
        line(img, [(cx - 5, cy + 3.5), (cx + 5, cy + 3.5)], 1.6, HEADER_GLYPH)
    else:
        ring(img, cx, cy, 6.6, 1.3, HEADER_GLYPH)
        text(img, (cx, cy + 0.5), '?', font(10, bold=True), HEADER_GLYPH, anchor='mm')
    img.save(path)


def make_help_menu_icon(path, kind):
    img = Image.new('RGB', (16, 16), WHITE)
    if kind == 'product':
        rrect_outlined(img, (4, 1.5, 10.5, 14.5), 1.6, (236, 236, 231), INK_ICON, 1.2)
        box(img, 6, 3, 9, 4, (180, 184, 190))
        circle(img, 7.25, 12, 0.9, GREEN)
        arc(img, 10, 6, 3.0, -60, 30, 1.2, ORANGE)
        arc(img, 10, 6, 5.2, -60, 30, 1.2, ORANGE)
    elif kind == 'support':
        ring(img, 8, 8, 6.6, 3.0, INK_ICON)
        for a in (45, 135, 225, 315):
            arc(img, 8, 8, 5.1, a - 16, a + 16, 3.0, ORANGE, caps=False)
        ring(img, 8, 8, 3.3, 1.0, INK_ICON)
    elif kind == 'contact':
        rrect_outlined(img, (1.5, 3.5, 14.5, 12.5), 1.2, WHITE, INK_ICON, 1.2)
        line(img, [(2.6, 4.6), (8, 8.6), (13.4, 4.6)], 1.2, ORANGE)
    else:
        circle(img, 8, 8, 7, INK_ICON)
        text(img, (8, 8.5), '?', font(11, bold=True), WHITE, anchor='mm')
    img.save(path)


def make_plain_button(path, size, fill, edge):
    w, h = size
    img = Image.new('RGB', (w, h), WHITE)
    rrect_outlined(img, (0, 0, w, h), 3, fill, edge)
    img.save(path)


def make_refresh_button(path, down):
    img = Image.new('RGB', (22, 22), WHITE)
    color = ACCENT if down else INK_ICON
    if down:
        rrect_outlined(img, (0, 0, 22, 22), 3, BUTTON_FILL, BUTTON_EDGE)
    cx, cy, r = 11, 11, 6.0
    arc(img, cx, cy, r, -55, 235, 1.8, color)
    # Arrow head at the start of the arc, pointing on round the circle into the gap at the top.
    t = math.radians(-55)
    ex, ey = cx + r * math.cos(t), cy + r * math.sin(t)
    tx, ty = math.sin(t), -math.cos(t)  # tangent, counter-clockwise on screen
    nx, ny = math.cos(t), math.sin(t)  # radial
    polygon(img, [(ex + tx * 3.6, ey + ty * 3.6), (ex + nx * 3.2 - tx * 0.8, ey + ny * 3.2 - ty * 0.8),
                  (ex - nx * 3.2 - tx * 0.8, ey - ny * 3.2 - ty * 0.8)], color)
    img.save(path)


EDIT_FRAME_H = 26


def make_search_caps(left_path, right_path):
    h = EDIT_FRAME_H
    r = (h - 1) / 2
    left = Image.new('RGB', (28, h), WHITE)
    arc(left, r + 0.5, h / 2, r, 90, 270, 1.0, EDIT_LINE, caps=False)
    hline(left, int(r + 0.5), 28, 0, EDIT_LINE)
    hline(left, int(r + 0.5), 28, h - 1, EDIT_LINE)
    ring(left, 13.5, 12, 4.6, 1.6, MUTED)
    line(left, [(16.8, 15.3), (20.2, 18.7)], 1.9, MUTED)
    left.save(left_path)
    right = Image.new('RGB', (14, h), WHITE)
    arc(right, 0.5, h / 2, r, -90, 90, 1.0, EDIT_LINE, caps=False)
    hline(right, 0, 1, 0, EDIT_LINE)
    hline(right, 0, 1, h - 1, EDIT_LINE)
    right.save(right_path)


def make_line(path, width, height, color):
    Image.new('RGB', (width, height), color).save(path)


def pill(img):
    w, h = img.size
    rrect_outlined(img, (1, 1, w - 1, h - 1), (h - 2) / 2, ORANGE_TINT, ORANGE_EDGE)


def pencil(img, cx, cy, color):
    # A pencil drawn at 45 degrees, tip at the lower left.
    line(img, [(cx - 3.2, cy + 3.2), (cx + 3.4, cy - 3.4)], 2.6, color)
    polygon(img, [(cx - 5.3, cy + 5.3), (cx - 4.4, cy + 2.4), (cx - 2.4, cy + 4.4)], color)
    line(img, [(cx + 2.9, cy - 5.0), (cx + 5.0, cy - 2.9)], 1.0, WHITE)


def globe(img, cx, cy, r, color):
    ring(img, cx, cy, r, 1.1, color)
    ellipse(img, (cx - r * 0.42, cy - r, cx + r * 0.42, cy + r), color)
    ellipse(img, (cx - r * 0.42 + 1.1, cy - r + 1.1, cx + r * 0.42 - 1.1, cy + r - 1.1), ORANGE_TINT)
    line(img, [(cx - r + 0.6, cy), (cx + r - 0.6, cy)], 1.0, color)


def link_icon(img, cx, cy, color):
    # The bridge arch of the brand mark, small.
    deck = cy + 2.6
    arc(img, cx, deck + 1.6, 4.6, 180, 360, 1.3, color)
    line(img, [(cx - 5.4, deck), (cx + 5.4, deck)], 1.3, color)
    line(img, [(cx, deck - 3.0), (cx, deck)], 0.9, color)


def make_cell_picture(path, label, cjk, icon):
    img = Image.new('RGB', (50, 16), WHITE)
    pill(img)
    if label is None:
        pencil(img, 25, 8, ORANGE_DARK)
        img.save(path)
        return
    fnt = font(11 if cjk else 10, bold=True, cjk=cjk)
    tw = text_width(label, fnt)
    iw = 10
    total = iw + 2 + tw
    x = (50 - total) / 2
    if icon == 'globe':
        globe(img, x + iw / 2, 8, 4.4, ORANGE_DARK)
    else:
        link_icon(img, x + iw / 2, 6, ORANGE_DARK)
    text(img, (x + iw + 2, 8.5 if not cjk else 7.5), label, fnt, ORANGE_DARK, anchor='lm')
    img.save(path)


def make_wait_gif(path):
    size = 32
    frames = []
    n = 12
    # A fixed palette: white to orange and white to the track grey, so every frame maps the same.
    track = (226, 226, 222)
    pal = []
    for i in range(128):
        t = i / 127
        pal += [round(255 + (c - 255) * t) for c in ORANGE]
    for i in range(128):
        t = i / 127
        pal += [round(255 + (c - 255) * t) for c in track]
    palimg = Image.new('P', (1, 1))
    palimg.putpalette(pal)
    for k in range(n):
        img = Image.new('RGB', (size, size), WHITE)
        ring(img, 16, 16, 12.5, 3.2, track)
        start = k * 360 / n - 90
        arc(img, 16, 16, 10.9, start, start + 100, 3.2, ORANGE)
        frames.append(img.quantize(palette=palimg, dither=Image.Dither.NONE))
    frames[0].save(path, save_all=True, append_images=frames[1:], duration=70, loop=0,
                   optimize=False, disposal=1)


def make_close_glyph(path, size, ground, color):
    img = Image.new('RGB', (size, size), ground)
    cross(img, size / 2, size / 2, size * 0.2, 1.6 if size >= 18 else 1.4, color)
    img.save(path)


TAB_BTN = (99, 37)  # 66 x 23 dialog units


def make_tab(path, selected):
    w, h = TAB_BTN
    img = Image.new('RGB', (w, h), WHITE)
    hline(img, 0, w, h - 1, LINE)
    fill = WHITE if selected else (244, 243, 238)
    # Tab outline with rounded top corners, 2 px apart from its neighbours.
    rrect(img, (2, 0, w - 2, h + 6), 4, LINE)
    rrect(img, (3, 1, w - 3, h + 6), 3, fill)
    if selected:
        rrect(img, (3, 1, w - 3, 6), 2, ORANGE)
        box(img, 3, 4, w - 3, 6, ORANGE)
        box(img, 3, h - 1, w - 3, h, WHITE)
    else:
        hline(img, 0, w, h - 1, LINE)
    img.save(path)


def make_signal(path, level):
    img = Image.new('RGB', (30, 16), WHITE)
    colors = {0: LINE, 1: ACCENT, 2: ACCENT, 3: ORANGE, 4: GREEN, 5: GREEN}
    for i in range(5):
        bh = (4, 6, 9, 12, 15)[i]
        x = 3 + i * 5
        color = colors[level] if i < level else LINE
        box(img, x, 15 - bh + 1, x + 3, 16, color)
    img.save(path)


# ---- larger pictures -----------------------------------------------------------------------

def pole_device(img, x, ground_y, top_y, h, face):
    """A mast from ground_y up to top_y with a CPE at its top, facing left (-1) or right (1)."""
    box(img, int(x - 2), int(top_y), int(x + 2), int(ground_y), (150, 154, 160))
    w = h * 0.46
    dx = x + (4 if face > 0 else -4 - w)
    box(img, int(min(x, dx + w / 2)), int(top_y + h * 0.45), int(max(x, dx + w / 2)) + 1,
        int(top_y + h * 0.5), (120, 125, 132))
    cpe_icon(img, dx, top_y, h, pole=False)
    return dx + (w if face > 0 else 0), top_y + h * 0.35


def make_bridge_finish(path):
    w, h = 380, 160
    img = Image.new('RGB', (w, h), WHITE)
    ground = 138
    box(img, 0, ground, w, h, (247, 246, 242))
    hline(img, 0, w, ground, (228, 226, 218))
    ax, ay = pole_device(img, 70, ground, 46, 48, 1)
    sx, sy = pole_device(img, 310, ground, 46, 48, -1)
    signal_waves(img, ax, ay, (12, 22), 2.2, ORANGE, -40, 40)
    signal_waves(img, sx, sy, (12, 22), 2.2, ORANGE, 140, 220)
    dashed(img, (ax + 30, ay), (sx - 30, sy), 2.2, (170, 176, 184), dash=7, gap=6)
    circle(img, w / 2, ay - 28, 17, GREEN)
    line(img, [(w / 2 - 8, ay - 28), (w / 2 - 2.5, ay - 22), (w / 2 + 8.5, ay - 34)], 3.2, WHITE)
    img.save(path, quality=94, subsampling=0, optimize=True)


def wrap(s, fnt, width, cjk):
    """Breaks s into lines no wider than width: at blanks for Latin, between characters for CJK."""
    lines = []
    if not cjk:
        cur = ''
        for word in s.split(' '):
            trial = word if not cur else cur + ' ' + word
            if text_width(trial, fnt) <= width or not cur:
                cur = trial
            else:
                lines.append(cur)
                cur = word
        if cur:
            lines.append(cur)
        return lines
    no_start = set('，。、；：！？）」”’》')
    cur = ''
    for ch in s:
        trial = cur + ch
        if text_width(trial, fnt) <= width or not cur:
            cur = trial
        elif ch in no_start:  # keep closing punctuation with the character before it
            lines.append(cur[:-1])
            cur = cur[-1] + ch
        else:
            lines.append(cur)
            cur = ch
    if cur:
        lines.append(cur)
    return lines


HELP_TEXT = {
    'other': {
        'title': 'Installation guide',
        'subtitle': 'Set up an outdoor wireless link in six steps',
        'labels': {
            'device': 'Device', 'adapter': 'PoE adapter', 'pc': 'Computer', 'power': 'Power',
            'ip': 'IP address', 'mask': 'Subnet mask', 'example': 'Example',
            'firewall': 'Firewall: allow UDP 9785-9788',
            'status': 'Device status', 'manage': 'Device management', 'bridge': 'Device bridge',
            'search': 'Search', 'col_ip': 'IP', 'col_mac': 'MAC', 'col_state': 'Status',
            'online': 'Online', 'fresnel': 'Keep this zone clear',
            'flow': ['Choose AP', 'Security', 'IP settings', 'Save'],
            'ground': 'Ground', 'drip': 'Drip loop',
        },
        'steps': [
            ('Connect the device', [
                "Connect the device's LAN port to the PoE port of the PoE adapter with a shielded "
                "outdoor cable.",
                "Connect the adapter's LAN port to this computer.",
                'Plug in the adapter. The power light of the device comes on.']),
            ('Prepare the computer', [
                "Give the computer's network adapter a fixed IPv4 address in the subnet of the "
                'devices.',
                'Let Pontiq through the firewall: it talks to the devices over UDP ports 9785 to '
                '9788.',
                '"System tool" lists the network adapters that Pontiq can use.']),
            ('Find the devices', [
                'Open "Device status" and click "Search". The search runs for up to 50 seconds, or '
                'until you click "Stop".',
                'The devices found appear in the list; click "Operate" to open the web page of a '
                'device.',
                '"ScanMac" looks for one device by its MAC address.']),
            ('Mount and aim', [
                'Mount both devices on rigid poles, facing each other, with a clear line of sight.',
                'Keep trees, roofs and walls out of the zone between the devices (the Fresnel '
                'zone).',
                'Turn the station slowly and watch the signal bars in the access-point search.']),
            ('Create the bridge', [
                'Open "Device bridge" and click "Operate" in the row of the device that is to be the '
                'station.',
                'Choose the access point, enter its key, check the IP settings and click "Save".',
                'The "Status" column shows "Bridge success" once the device has joined.']),
            ('Weatherproof and ground', [
                'Point the cable entry downwards and leave a drip loop in the cable.',
                'Ground the pole and the device, and seal every outdoor connector.',
                'Never install or service the devices during a thunderstorm.']),
        ],
        'footer': 'Pontiq  ·  Installation guide',
    },
    'chinese': {
        'title': '安装指南',
        'subtitle': '六步完成室外无线链路的安装',
        'labels': {
            'device': '设备', 'adapter': 'PoE供电模块', 'pc': '电脑', 'power': '电源',
            'ip': 'IP地址', 'mask': '子网掩码', 'example': '示例',
            'firewall': '防火墙：放行UDP 9785-9788',
            'status': '设备状态', 'manage': '设备管理', 'bridge': '设备桥接',
            'search': '搜索', 'col_ip': 'IP地址', 'col_mac': 'MAC地址', 'col_state': '状态',
            'online': '在线', 'fresnel': '此区域内保持无遮挡',
            'flow': ['选择AP', '加密设置', 'IP设置', '保存'],
            'ground': '接地', 'drip': '滴水弯',
        },
        'steps': [
            ('连接设备', [
                '用室外屏蔽网线将设备的LAN口连接到PoE供电模块的PoE口。',
                '将供电模块的LAN口连接到本电脑。',
                '接通供电模块的电源，设备的电源指示灯亮起。']),
            ('设置电脑', [
                '为电脑网卡设置一个与设备处于同一网段的固定IPv4地址。',
                '允许Pontiq通过防火墙：它通过UDP端口9785至9788与设备通信。',
                '在“系统工具”中可以查看Pontiq可以使用的网卡。']),
            ('搜索设备', [
                '打开“设备状态”，点击“搜索”。搜索最长持续50秒，也可以点击“停止”提前结束。',
                '搜索到的设备显示在列表中；点击“操作”列可以打开设备的网页。',
                '“按MAC搜索”可以按MAC地址查找单台设备。']),
            ('安装与对准', [
                '将两台设备牢固地安装在抱杆上，彼此相对，保证视线无遮挡。',
                '两台设备之间的区域（菲涅尔区）内不要有树木、屋顶或墙体。',
                '缓慢转动客户端设备，同时观察AP搜索列表中的信号强度。']),
            ('建立桥接', [
                '打开“设备桥接”，在作为客户端的设备所在行点击“操作”。',
                '选择要连接的AP，输入密钥，确认IP设置后点击“保存”。',
                '设备连接成功后，“状态”列显示“桥接成功”。']),
            ('防水与接地', [
                '网线接口朝下，网线留出滴水弯。',
                '抱杆和设备都要可靠接地，室外接头要做好防水密封。',
                '雷雨天气切勿安装或维护设备。']),
        ],
        'footer': 'Pontiq  ·  安装指南',
    },
}

HELP_W = 1040  # fits the 1060-pixel view with room for the vertical scroll bar
DIAGRAM = (560, 1000)  # x range of the diagrams


def label(img, xy, s, cjk, size=13, fill=BODY_TEXT, bold=False, anchor='mm'):
    text(img, xy, s, font(size, bold=bold, cjk=cjk), fill, anchor)


def diagram_connect(img, y, L, cjk):
    x0 = DIAGRAM[0]
    cable = (96, 104, 114)
    base = y + 150  # level of the cable run
    # Device on a short mast; its cable leaves at the bottom.
    cpe_icon(img, x0 + 24, y + 16, 84)
    dev_cable_x = x0 + 52
    # PoE adapter, ports on its face, cables from below, power cord from the top.
    ax, ay = x0 + 170, y + 62
    line(img, [(ax + 55, ay), (ax + 55, y + 26)], 3, cable)
    rrect(img, (ax + 45, y + 12, ax + 65, y + 28), 3, INK_ICON)
    box(img, ax + 50, y + 6, ax + 52, y + 12, INK_ICON)
    box(img, ax + 58, y + 6, ax + 60, y + 12, INK_ICON)
    label(img, (ax + 74, y + 19), L['power'], cjk, anchor='lm')
    line(img, [(dev_cable_x, y + 100), (dev_cable_x, base), (ax + 30, base), (ax + 30, ay + 40)], 3,
         cable)
    rrect(img, (ax, ay, ax + 110, ay + 48), 7, INK)
    for i, port in enumerate(('PoE', 'LAN')):
        px = ax + 14 + i * 50
        box(img, px, ay + 10, px + 32, ay + 28, (30, 35, 42))
        box(img, px + 6, ay + 28, px + 26, ay + 31, (30, 35, 42))
        text(img, (px + 16, ay + 39), port, font(10, bold=True), HEADER_GLYPH, anchor='mm')
    circle(img, ax + 100, ay + 9, 2.2, GREEN)
    # Computer.
    cx = x0 + 330
    line(img, [(ax + 80, ay + 40), (ax + 80, base), (cx + 42, base), (cx + 42, y + 126)], 3, cable)
    rrect_outlined(img, (cx, y + 58, cx + 84, y + 114), 4, (226, 236, 246), INK_ICON, 2)
    polygon(img, [(cx - 10, y + 116), (cx + 94, y + 116), (cx + 100, y + 126), (cx - 16, y + 126)],
            INK_ICON)
    for xx, s in ((x0 + 43, L['device']), (ax + 55, L['adapter']), (cx + 42, L['pc'])):
        label(img, (xx, base + 22), s, cjk)


def field(img, x, y, w, value):
    rrect_outlined(img, (x, y, x + w, y + 24), 3, WHITE, (190, 190, 190))
    text(img, (x + 8, y + 12.5), value, font(13), BODY_TEXT, anchor='lm')


def diagram_computer(img, y, L, cjk):
    x0 = DIAGRAM[0]
    rrect_outlined(img, (x0 + 10, y + 10, x0 + 300, y + 150), 6, WHITE, (200, 200, 200))
    box(img, x0 + 11, y + 11, x0 + 299, y + 36, (240, 240, 238))
    circle(img, x0 + 26, y + 23.5, 4.5, ORANGE)
    label(img, (x0 + 38, y + 23.5), L['example'], cjk, size=12, anchor='lm', fill=MUTED)
    label(img, (x0 + 26, y + 62), L['ip'], cjk, anchor='lm')
    field(img, x0 + 124, y + 50, 156, '192.168.1.100')
    label(img, (x0 + 26, y + 104), L['mask'], cjk, anchor='lm')
    field(img, x0 + 124, y + 92, 156, '255.255.255.0')
    # Firewall shield.
    sx, sy = x0 + 372, y + 46
    polygon(img, [(sx, sy), (sx + 34, sy + 10), (sx + 32, sy + 44), (sx, sy + 64),
                  (sx - 32, sy + 44), (sx - 34, sy + 10)], GREEN)
    line(img, [(sx - 12, sy + 30), (sx - 3, sy + 39), (sx + 14, sy + 20)], 4, WHITE)
    label(img, (sx, sy + 92), L['firewall'], cjk, size=12)


def diagram_find(img, y, L, cjk):
    x0, x1 = DIAGRAM[0] + 4, DIAGRAM[1] - 4
    top, bottom = y + 6, y + 190
    rrect_outlined(img, (x0, top, x1, bottom), 6, WHITE, (200, 200, 200))
    box(img, x0 + 1, top + 1, x1 - 1, top + 30, INK)
    rrect(img, (x0 + 1, top + 1, x1 - 1, top + 12), 5, INK)
    brand_mark(img, x0 + 10, top + 6, 18)
    text(img, (x0 + 34, top + 15.5), 'Pontiq', font(13, bold=True), WHITE, anchor='lm')
    box(img, x0 + 1, top + 30, x1 - 1, top + 32, ORANGE)
    # Sidebar.
    sw = 128
    box(img, x0 + 1, top + 32, x0 + sw, bottom - 5, SIDEBAR)
    rrect(img, (x0 + 1, bottom - 12, x0 + sw, bottom - 1), 5, SIDEBAR)
    vline(img, x0 + sw, top + 32, bottom - 1, SIDEBAR_EDGE)
    items = (L['status'], L['manage'], L['bridge'])
    for i, s in enumerate(items):
        iy = top + 42 + i * 30
        if i == 0:
            box(img, x0 + 1, iy, x0 + sw, iy + 26, WHITE)
            box(img, x0 + 1, iy, x0 + 4, iy + 26, ACCENT)
        label(img, (x0 + sw / 2 + 2, iy + 13), s, cjk, size=11, bold=(i == 0),
              fill=ACCENT if i == 0 else (0, 0, 0))
    # Search button with the pointer on it.
    bx, by = x0 + sw + 14, top + 42
    rrect_outlined(img, (bx, by, bx + 70, by + 22), 3, BUTTON_FILL, BUTTON_EDGE)
    label(img, (bx + 35, by + 11), L['search'], cjk, size=12, fill=ACCENT)
    px, py = bx + 54, by + 14
    polygon(img, [(px, py), (px, py + 17), (px + 4.5, py + 13), (px + 8, py + 20), (px + 10.5, py + 19),
                  (px + 7, py + 12), (px + 12.5, py + 12)], WHITE)
    polygon(img, [(px + 1.4, py + 3), (px + 1.4, py + 14), (px + 4.8, py + 11), (px + 8.4, py + 18),
                  (px + 9.2, py + 17.6), (px + 5.8, py + 10.6), (px + 9.6, py + 10.6)], (0, 0, 0))
    # Grid.
    gx0, gx1, gy = x0 + sw + 14, x1 - 14, top + 76
    cols = [L['col_ip'], L['col_mac'], L['col_state']]
    widths = [0.32, 0.46, 0.22]
    box(img, gx0, gy, gx1, gy + 22, SAND)
    cx = gx0
    gw = gx1 - gx0
    for c, frac in zip(cols, widths):
        label(img, (cx + gw * frac / 2, gy + 11), c, cjk, size=12, bold=True, fill=ORANGE)
        cx += gw * frac
    rows = [('192.168.1.21', '00:1a:2b:3c:4d:21'), ('192.168.1.22', '00:1a:2b:3c:4d:22'),
            ('192.168.1.23', '00:1a:2b:3c:4d:23')]
    for r, (ip, mac) in enumerate(rows):
        ry = gy + 22 + r * 26
        hline(img, gx0, gx1, ry + 26, LINE)
        cx = gx0
        for val, frac in zip((ip, mac, L['online']), widths):
            label(img, (cx + gw * frac / 2, ry + 13), val, cjk and val == L['online'], size=11,
                  fill=GREEN)
            cx += gw * frac


def diagram_aim(img, y, L, cjk):
    x0, x1 = DIAGRAM[0], DIAGRAM[1]
    ground = y + 178
    hline(img, x0, x1, ground, (226, 224, 216))
    ax, ay = pole_device(img, x0 + 36, ground, y + 34, 52, 1)
    sx, sy = pole_device(img, x1 - 36, ground, y + 34, 52, -1)
    midx, midy = (ax + sx) / 2, (ay + sy) / 2
    half = (sx - ax) / 2
    ellipse(img, (ax, midy - 34, sx, midy + 34), ORANGE_TINT)
    ring_box = (ax, midy - 34, sx, midy + 34)

    def paint(d, P):
        a, b = P(ring_box[0], ring_box[1]), P(ring_box[2], ring_box[3])
        d.ellipse([a[0], a[1], b[0] - 1, b[1] - 1], outline=255, width=int(1.5 * SS))

    _aa(img, ORANGE_EDGE, ring_box, paint)
    dashed(img, (ax + 4, ay), (sx - 4, sy), 2.0, ORANGE_DARK, dash=8, gap=6)
    label(img, (midx, midy - 46), L['fresnel'], cjk, size=12, fill=ORANGE_DARK)
    # A tree kept below the zone.
    tx = midx + half * 0.35
    box(img, int(tx - 2), int(ground - 34), int(tx + 2), int(ground), (140, 110, 80))
    circle(img, tx, ground - 44, 15, (120, 170, 110))
    circle(img, tx - 9, ground - 36, 10, (120, 170, 110))
    circle(img, tx + 9, ground - 36, 10, (120, 170, 110))
    # Roof of a house on the left.
    hx = midx - half * 0.45
    polygon(img, [(hx - 30, ground - 30), (hx, ground - 52), (hx + 30, ground - 30)], (190, 160, 140))
    box(img, int(hx - 24), int(ground - 30), int(hx + 24), int(ground), (232, 226, 214))
    box(img, int(hx - 6), int(ground - 18), int(hx + 6), int(ground), (190, 160, 140))


def diagram_bridge(img, y, L, cjk):
    x0, x1 = DIAGRAM[0], DIAGRAM[1]
    steps = L['flow']
    fnt = font(13, bold=True, cjk=cjk)
    gap = 26
    widths = [max(text_width(s, fnt) + 28, 80) for s in steps]
    total = sum(widths) + gap * (len(steps) - 1)
    x = x0 + (x1 - x0 - total) / 2
    cy = y + 70
    for i, (s, w) in enumerate(zip(steps, widths)):
        last = i == len(steps) - 1
        rrect_outlined(img, (x, cy - 18, x + w, cy + 18), 6, PRIMARY_FILL if last else BUTTON_FILL,
                       PRIMARY_EDGE if last else BUTTON_EDGE)
        text(img, (x + w / 2, cy), s, fnt, (0, 0, 0), anchor='mm')
        circle(img, x + 12, cy - 18, 9, ORANGE)
        text(img, (x + 12, cy - 18), str(i + 1), font(11, bold=True), WHITE, anchor='mm')
        if not last:
            ax = x + w + 5
            line(img, [(ax, cy), (ax + gap - 12, cy)], 2, MUTED)
            polygon(img, [(ax + gap - 14, cy - 5), (ax + gap - 8, cy), (ax + gap - 14, cy + 5)], MUTED)
        x += w + gap
    # The access-point list with its signal bars below the flow.
    lx, ly = x0 + 60, y + 118
    rrect_outlined(img, (lx, ly, x1 - 60, ly + 64), 5, WHITE, (205, 205, 205))
    for r, (name, level) in enumerate((('Link-North', 5), ('Link-East', 3))):
        ry = ly + 8 + r * 26
        ring(img, lx + 18, ry + 11, 6, 1.5, ORANGE if r == 0 else (190, 190, 190))
        if r == 0:
            circle(img, lx + 18, ry + 11, 3, ORANGE)
        text(img, (lx + 34, ry + 11.5), name, font(13), BODY_TEXT, anchor='lm')
        for i in range(5):
            bh = (4, 6, 9, 12, 15)[i]
            bx = x1 - 110 + i * 6
            color = (GREEN if level >= 4 else ORANGE) if i < level else LINE
            box(img, bx, ry + 19 - bh, bx + 4, ry + 19, color)


def diagram_weather(img, y, L, cjk):
    x0 = DIAGRAM[0]
    ground = y + 184
    px = x0 + 150
    box(img, px - 4, y + 10, px + 4, ground, (150, 154, 160))
    hline(img, x0 + 40, x0 + 400, ground, (226, 224, 216))
    # Device on the pole with its cable entry at the bottom.
    dx, dy, dh = px + 10, y + 18, 96
    box(img, px, int(dy + 40), int(dx + 10), int(dy + 46), (120, 125, 132))
    cpe_icon(img, dx, dy, dh, pole=False)
    cable = (96, 104, 114)
    exit_x, exit_y = dx + dh * 0.23, dy + dh
    loop_r = 10
    # Down from the cable entry, a U below it, up to a tie point on the pole, then down the pole.
    line(img, [(exit_x, exit_y), (exit_x, exit_y + 16)], 3, cable)
    arc(img, exit_x - loop_r, exit_y + 16, loop_r, 0, 180, 3, cable)
    tie_y = exit_y + 6
    line(img, [(exit_x - 2 * loop_r, exit_y + 16), (exit_x - 2 * loop_r, tie_y), (px + 5, tie_y),
               (px + 5, ground - 4)], 3, cable)
    label(img, (exit_x + 16, exit_y + 22), L['drip'], cjk, anchor='lm', fill=ORANGE_DARK)
    for i, (ox, oy) in enumerate(((-18, 12), (-30, 34), (-8, 52))):
        cx, cy = dx + dh * 0.46 + 26 + ox + 60, dy + oy
        polygon(img, [(cx, cy - 7), (cx + 4.5, cy + 1), (cx - 4.5, cy + 1)], (110, 160, 220))
        circle(img, cx, cy + 1.5, 4.6, (110, 160, 220))
    # Ground wire and the earth symbol.
    gx = px - 60
    line(img, [(px - 4, ground - 30), (gx, ground - 30), (gx, ground - 6)], 2.5, (60, 140, 60))
    for i, half in enumerate((16, 10, 4)):
        box(img, int(gx - half), int(ground - 6 + i * 6), int(gx + half), int(ground - 4 + i * 6),
            (60, 140, 60))
    label(img, (gx, ground - 44), L['ground'], cjk, fill=(60, 140, 60))
    # A crossed-out thunderstorm.
    sx, sy = x0 + 400, y + 40
    for ox, r in ((-14, 14), (0, 19), (16, 13)):
        circle(img, sx + ox, sy, r, (200, 204, 210))
    box(img, sx - 28, sy, sx + 29, sy + 13, (200, 204, 210))
    polygon(img, [(sx + 2, sy + 14), (sx - 8, sy + 34), (sx, sy + 34), (sx - 6, sy + 52),
                  (sx + 12, sy + 28), (sx + 3, sy + 28), (sx + 9, sy + 14)], (250, 190, 40))
    ring(img, sx, sy + 18, 38, 3.5, ACCENT)
    line(img, [(sx - 26, sy + 46), (sx + 26, sy - 10)], 3.5, ACCENT)


DIAGRAMS = [diagram_connect, diagram_computer, diagram_find, diagram_aim, diagram_bridge,
            diagram_weather]


def make_help(path, lang):
    cjk = lang == 'chinese'
    T = HELP_TEXT[lang]
    body = font(15, cjk=cjk)
    head = font(21, bold=True, cjk=cjk)
    line_h = 25 if cjk else 23
    text_x, text_w = 84, 462
    top = 128
    diagram_h, gap = 200, 40

    def text_height(bullets):
        h = 46
        for b in bullets:
            h += len(wrap(b, body, text_w - 18, cjk)) * line_h + 8
        return h

    heights = [max(text_height(b), diagram_h) + gap for _, b in T['steps']]
    height = top + sum(heights) + 40
    img = Image.new('RGB', (HELP_W, height), WHITE)
    # Title band.
    box(img, 0, 0, HELP_W, 92, INK)
    for r in (60, 96, 132, 168):
        arc(img, HELP_W - 60, 150, r, 200, 340, 2.0, INK_SOFT, clip=(0, 0, HELP_W, 92))
    box(img, 0, 92, HELP_W, 95, ORANGE)
    brand_mark(img, 40, 22, 48)
    text(img, (106, 40), T['title'], font(28, bold=True, cjk=cjk), WHITE, anchor='lm')
    text(img, (107, 70), T['subtitle'], font(15, cjk=cjk), (176, 184, 194), anchor='lm')
    y = top
    steps = zip(T['steps'], DIAGRAMS, heights)
    for n, ((heading, bullets), diagram, section_h) in enumerate(steps, start=1):
        if n > 1:
            hline(img, 40, HELP_W - 40, y - gap // 2, (232, 232, 228))
        circle(img, 56, y + 12, 16, ORANGE)
        text(img, (56, y + 12), str(n), font(17, bold=True), WHITE, anchor='mm')
        text(img, (text_x, y + 12), heading, head, INK, anchor='lm')
        ty = y + 46
        for b in bullets:
            circle(img, text_x + 4, ty + line_h / 2, 3, ORANGE)
            for ln in wrap(b, body, text_w - 18, cjk):
                text(img, (text_x + 18, ty + line_h / 2), ln, body, BODY_TEXT, anchor='lm')
                ty += line_h
            ty += 8
        diagram(img, y - 6 + (section_h - gap - diagram_h) // 2, T['labels'], cjk)
        y += section_h
    text(img, (HELP_W / 2, height - 24), T['footer'], font(13, cjk=cjk), MUTED, anchor='mm')
    img.save(path, quality=93, subsampling=0, optimize=True)


# ---- driver --------------------------------------------------------------------------------

def build(out):
    os.makedirs(out, exist_ok=True)
    p = lambda name: os.path.join(out, name)
    make_application_ico(p('Application.ico'))
    make_main_bk(p('main_bk.jpg'))
    make_main_left_bk(p('main_left_bk.jpg'))
    for group in ('search', 'wireless'):
        make_nav_button(p('bt_menu_%s_normal.bmp' % group), False)
        make_nav_button(p('bt_menu_%s_down.bmp' % group), True)
    for kind in ('close', 'min', 'help'):
        make_title_button(p('%s_normal.bmp' % kind), kind)
    for kind in ('product', 'support', 'contact', 'help'):
        make_help_menu_icon(p('help_%s_normal.bmp' % kind), kind)
    make_plain_button(p('btn_search.bmp'), (90, 26), BUTTON_FILL, BUTTON_EDGE)
    make_refresh_button(p('btn_update_normal.bmp'), False)
    make_refresh_button(p('btn_update_down.bmp'), True)
    make_search_caps(p('btn_pie.bmp'), p('btn_pie2.bmp'))
    make_line(p('line.bmp'), 900, 1, LINE)
    make_line(p('gray_line.bmp'), 396, 1, LINE)
    make_line(p('orange_line.bmp'), 400, 2, ORANGE)
    make_cell_picture(p('write.bmp'), None, False, None)
    make_cell_picture(p('web_other.bmp'), 'Web', False, 'globe')
    make_cell_picture(p('web_chinese.bmp'), '网页', True, 'globe')
    make_cell_picture(p('bridge_other.bmp'), 'Bridge', False, 'link')
    make_cell_picture(p('bridge_chinese.bmp'), '桥接', True, 'link')
    make_wait_gif(p('wait_search.gif'))
    make_close_glyph(p('close_config.bmp'), 20, SAND, SAND_TEXT)
    make_close_glyph(p('close_wait.bmp'), 16, WAIT_BK, (128, 128, 128))
    make_plain_button(p('btn_config.bmp'), (76, 24), BUTTON_FILL, BUTTON_EDGE)
    make_plain_button(p('config_btn.bmp'), (76, 24), PRIMARY_FILL, PRIMARY_EDGE)
    make_tab(p('wireless_basic.bmp'), True)
    make_tab(p('wireless_config.bmp'), False)
    for level in range(6):
        make_signal(p('singal_strength%d.bmp' % level), level)
    make_bridge_finish(p('bridge_finish.jpg'))
    make_help(p('help_other.jpg'), 'other')
    make_help(p('help_chinese.jpg'), 'chinese')


def contact_sheet(src, dest, scale=2):
    """All skin images on one PNG, small ones enlarged (nearest neighbour) to check pixels."""
    names = sorted(n for n in os.listdir(src) if n.lower().endswith(('.bmp', '.jpg', '.gif', '.ico')))
    tiles = []
    for n in names:
        im = Image.open(os.path.join(src, n))
        if n.endswith('.ico'):
            sizes = sorted(im.info.get('sizes', {im.size}))
            row = Image.new('RGB', (sum(s[0] for s in sizes) + 10 * len(sizes), 256), (200, 200, 200))
            x = 0
            for s in sizes:
                im.size = s
                fr = im.convert('RGBA')
                row.paste(fr, (x, 0), fr)
                x += s[0] + 10
            im = row
        elif n.endswith('.gif'):
            frames = []
            try:
                while True:
                    frames.append(im.convert('RGB'))
                    im.seek(im.tell() + 1)
            except EOFError:
                pass
            row = Image.new('RGB', (len(frames) * (frames[0].width + 4), frames[0].height), (200,) * 3)
            for i, fr in enumerate(frames):
                row.paste(fr, (i * (fr.width + 4), 0))
            im = row
        im = im.convert('RGB')
        if im.width <= 400 and im.height <= 200:
            im = im.resize((im.width * scale, im.height * scale), Image.Resampling.NEAREST)
        elif im.width > 1100:
            im = im.resize((im.width // 2, im.height // 2), Image.Resampling.LANCZOS)
        tiles.append((n, im))
    width = 1200
    x = y = row_h = 0
    placed = []
    for n, im in tiles:
        if x + im.width > width and x > 0:
            x, y = 0, y + row_h + 24
            row_h = 0
        placed.append((n, im, x, y))
        x += im.width + 16
        row_h = max(row_h, im.height)
    sheet = Image.new('RGB', (width, y + row_h + 24), (150, 150, 150))
    for n, im, x, y in placed:
        sheet.paste(im, (x, y + 16))
        text(sheet, (x, y + 2), n, font(11), (0, 0, 0))
    sheet.save(dest)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description='Draws the default skin images.')
    ap.add_argument('--out', default=os.path.join(here, '..', 'resources', 'Skin'))
    ap.add_argument('--sheet', help='also write a contact sheet of all images to this PNG file')
    args = ap.parse_args()
    check_fonts()
    build(args.out)
    if args.sheet:
        contact_sheet(args.out, args.sheet)


if __name__ == '__main__':
    main()

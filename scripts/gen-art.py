#!/usr/bin/python3
"""Generate the artwork of the Vellmar launcher.

Writes every image that res/Vellmar.rc compiles into
res/images/ and the application icon into res/Vellmar.ico.  The outputs are
committed, so a build never runs this script.  It needs Python 3 and PIL
(Debian: python3-pil) and the fonts of fonts-wqy-microhei and fonts-dejavu.
The output is deterministic: every random choice comes from a seeded
generator, and no time stamps are written.

Usage: scripts/gen-art.py [name ...]   (default: all images)
"""

import math
import os
import random
import struct
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RES = os.path.join(ROOT, "res")
OUT = os.path.join(RES, "images")

FONT_CJK = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
FONT_SERIF_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf"
FONT_SANS_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

# Palette shared by all pieces: night-blue ink, gold trim, parchment text.
GOLD_HI = (255, 238, 170)
GOLD = (222, 178, 88)
GOLD_MID = (186, 140, 62)
GOLD_LO = (120, 82, 34)
GOLD_DARK = (62, 40, 16)
INK = (14, 16, 28)
PARCHMENT = (226, 216, 190)


# --------------------------------------------------------------------------
# Small helpers (pure PIL, no numpy)

def font(path, size):
    return ImageFont.truetype(path, size)


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c1, c2, t):
    return tuple(int(round(lerp(a, b, t))) for a, b in zip(c1, c2))


def ramp(stops, t):
    """Colour at t (0..1) of a list of (position, colour) stops."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0) if p1 > p0 else 0.0)
    return stops[-1][1]


def vgrad(w, h, stops):
    col = Image.new("RGB", (1, h))
    col.putdata([ramp(stops, (y + 0.5) / h) for y in range(h)])
    return col.resize((w, h), Image.NEAREST)


def hgrad(w, h, stops):
    row = Image.new("RGB", (w, 1))
    row.putdata([ramp(stops, (x + 0.5) / w) for x in range(w)])
    return row.resize((w, h), Image.NEAREST)


_RADIAL = None


def radial(size, power=1.0):
    """L image of a round falloff: 255 in the centre, 0 at the inscribed
    circle, shaped by power."""
    global _RADIAL
    if _RADIAL is None:
        _RADIAL = Image.radial_gradient("L")   # 0 centre, ~181 at radius 128
    lut = []
    for v in range(256):
        d = v * 181.0 / 255.0 / 128.0
        lut.append(int(round(255 * max(0.0, 1.0 - d) ** power)))
    return _RADIAL.point(lut).resize(size, Image.BILINEAR)


def glow_mask(canvas_size, center, radius, power=1.6, strength=1.0, ry=None):
    ry = radius if ry is None else ry
    m = Image.new("L", canvas_size, 0)
    g = radial((int(2 * radius), int(2 * ry)), power)
    if strength != 1.0:
        g = g.point(lambda v: int(v * strength))
    m.paste(g, (int(center[0] - radius), int(center[1] - ry)))
    return m


def scale_mask(m, f):
    return m.point(lambda v: int(v * f))


def paint(canvas, fill, mask):
    """Paint a colour or an image through an L mask onto canvas."""
    if isinstance(fill, tuple):
        fill = Image.new(canvas.mode, canvas.size, fill)
    elif fill.mode != canvas.mode:
        fill = fill.convert(canvas.mode)
    canvas.paste(fill, (0, 0), mask)


def screen_add(canvas, color, mask):
    """Additive light: canvas + color * mask."""
    layer = Image.new("RGB", canvas.size, (0, 0, 0))
    layer.paste(color, (0, 0), mask)
    out = ImageChops.add(canvas.convert("RGB"), layer)
    canvas.paste(out, (0, 0))


def ss(size, draw_fn, scale=4):
    """Antialiased L mask: draw at scale times the size, then shrink."""
    big = Image.new("L", (size[0] * scale, size[1] * scale), 0)
    draw_fn(ImageDraw.Draw(big), scale)
    return big.resize(size, Image.LANCZOS)


def shift(m, dx, dy):
    return ImageChops.offset(m, dx, dy)


def dilate(m, n):
    for _ in range(n):
        m = m.filter(ImageFilter.MaxFilter(3))
    return m


def erode(m, n):
    for _ in range(n):
        m = m.filter(ImageFilter.MinFilter(3))
    return m


def gold_material(size, top, bottom, bright=1.0):
    """Polished gold: a banded vertical gradient between y=top and bottom."""
    h = max(1, bottom - top)
    stops = [(0.0, GOLD_HI), (0.28, GOLD), (0.5, GOLD_LO), (0.62, GOLD_MID),
             (0.85, GOLD), (1.0, GOLD_LO)]
    g = Image.new("RGB", size, GOLD)
    band = vgrad(size[0], h, stops)
    g.paste(band, (0, top))
    if top > 0:
        g.paste(band.crop((0, 0, size[0], 1)).resize((size[0], top)), (0, 0))
    if top + h < size[1]:
        g.paste(band.crop((0, h - 1, size[0], h)).resize(
            (size[0], size[1] - top - h)), (0, top + h))
    if bright != 1.0:
        g = g.point(lambda v: min(255, int(v * bright)))
    return g


def gold_paint(canvas, mask, top, bottom, outline=1, bevel=True, bright=1.0):
    """Paint mask in gold with a dark outline and a bevel."""
    if outline:
        paint(canvas, GOLD_DARK, dilate(mask, outline))
    paint(canvas, gold_material(canvas.size, top, bottom, bright), mask)
    if bevel:
        hi = ImageChops.subtract(mask, shift(mask, 1, 1))
        lo = ImageChops.subtract(mask, shift(mask, -1, -1))
        paint(canvas, GOLD_HI, scale_mask(hi, 0.7))
        paint(canvas, GOLD_DARK, scale_mask(lo, 0.55))


def text_mask(size, xy, text, fnt, spacing=0, anchor="la"):
    m = Image.new("L", size, 0)
    d = ImageDraw.Draw(m)
    if spacing == 0:
        d.text(xy, text, font=fnt, fill=255, anchor=anchor)
    else:
        x, y = xy
        for ch in text:
            d.text((x, y), ch, font=fnt, fill=255, anchor=anchor)
            x += fnt.getlength(ch) + spacing
    return m


def text_width(text, fnt, spacing=0):
    if spacing == 0:
        return fnt.getlength(text)
    return sum(fnt.getlength(ch) for ch in text) + spacing * (len(text) - 1)


def ridge(rng, x0, x1, y0, y1, amp, rough=0.55, depth=8):
    """A mountain ridge line by midpoint displacement."""
    pts = [(x0, y0), (x1, y1)]
    a = amp
    for _ in range(depth):
        nxt = [pts[0]]
        for (ax, ay), (bx, by) in zip(pts, pts[1:]):
            nxt.append(((ax + bx) / 2, (ay + by) / 2 + rng.uniform(-a, a)))
            nxt.append((bx, by))
        pts = nxt
        a *= rough
    return pts


def noise(size, cell, seed, lo=0, hi=255):
    """Smooth value noise: random cells, bilinear upscaling."""
    rng = random.Random(seed)
    w = max(2, size[0] // cell + 2)
    h = max(2, size[1] // cell + 2)
    small = Image.new("L", (w, h))
    small.putdata([rng.randint(lo, hi) for _ in range(w * h)])
    big = small.resize((w * cell, h * cell), Image.BICUBIC)
    return big.crop((0, 0, size[0], size[1]))


def save_png(img, name):
    path = os.path.join(OUT, name)
    img.save(path, format="PNG", optimize=True)
    return path


def save_bmp(img, name):
    path = os.path.join(OUT, name)
    img.save(path, format="BMP")
    return path


# --------------------------------------------------------------------------
# Title bar (bitmap 136) and everything that sits on it

TITLE_H = 30


def title_column():
    """The 30 rows of the title bar, top to bottom.  Every column of the
    title bar is this one, so the bitmap stretches cleanly to any width and
    the title-bar buttons, drawn on the same column, blend in."""
    rows = [(92, 98, 128)]                        # top highlight
    body = [(0.0, (50, 55, 82)), (0.45, (34, 38, 60)), (1.0, (19, 21, 36))]
    for y in range(1, 27):
        rows.append(ramp(body, (y - 1) / 25.0))
    rows.append((12, 13, 22))                     # dark edge
    rows.append((92, 68, 30))                     # gold rule, dark half
    rows.append((196, 152, 70))                   # gold rule, bright half
    return rows


def title_background(w, h=TITLE_H):
    col = Image.new("RGB", (1, TITLE_H))
    col.putdata(title_column())
    return col.resize((w, TITLE_H), Image.NEAREST).crop((0, 0, w, h))


def make_titlebar():
    save_bmp(title_background(66), "titlebar.bmp")


def make_title_logo():
    w, h = 83, TITLE_H
    img = title_background(w)
    # a small gem emblem on the left
    gem = ss((w, h), lambda d, s: d.polygon(
        [(11 * s, 5 * s), (19 * s, 14 * s), (11 * s, 23 * s), (3 * s, 14 * s)],
        fill=255))
    gold_paint(img, gem, 5, 23, outline=1)
    core = ss((w, h), lambda d, s: d.polygon(
        [(11 * s, 9 * s), (15.5 * s, 14 * s), (11 * s, 19 * s), (6.5 * s, 14 * s)],
        fill=255))
    paint(img, vgrad(w, h, [(0.3, (120, 200, 255)), (0.7, (30, 70, 170))]), core)
    screen_add(img, (60, 90, 120), glow_mask((w, h), (11, 14), 9, 2.0, 0.6))
    # the name
    f = font(FONT_SERIF_BOLD, 14)
    tm = text_mask((w, h), (23, 15), "Vellmar", f, spacing=0, anchor="lm")
    paint(img, (8, 8, 14), shift(dilate(tm, 1), 1, 1))
    paint(img, gold_material((w, h), 9, 22), tm)
    save_bmp(img, "title_logo.bmp")


# -- glyphs, drawn on a 4x grid into an L mask of the frame size ------------

def glyph_close(d, s, cx, cy, r=5.0, wdt=2.2):
    for a, b in (((-r, -r), (r, r)), ((-r, r), (r, -r))):
        d.line([((cx + a[0]) * s, (cy + a[1]) * s),
                ((cx + b[0]) * s, (cy + b[1]) * s)], fill=255, width=int(wdt * s))
    # round caps
    for px, py in ((-r, -r), (r, r), (-r, r), (r, -r)):
        rr = wdt / 2
        d.ellipse([(cx + px - rr) * s, (cy + py - rr) * s,
                   (cx + px + rr) * s, (cy + py + rr) * s], fill=255)


def glyph_min(d, s, cx, cy):
    d.rounded_rectangle([(cx - 5.5) * s, (cy + 3) * s, (cx + 5.5) * s, (cy + 5) * s],
                        radius=1 * s, fill=255)


def glyph_max(d, s, cx, cy):
    d.rectangle([(cx - 5.5) * s, (cy - 5) * s, (cx + 5.5) * s, (cy + 5.5) * s],
                outline=255, width=int(1.6 * s))
    d.rectangle([(cx - 5.5) * s, (cy - 5) * s, (cx + 5.5) * s, (cy - 3) * s], fill=255)


def glyph_restore(d, s, cx, cy):
    # back window
    d.rectangle([(cx - 2.5) * s, (cy - 6) * s, (cx + 6) * s, (cy + 2.5) * s],
                outline=255, width=int(1.5 * s))
    d.rectangle([(cx - 2.5) * s, (cy - 6) * s, (cx + 6) * s, (cy - 4.5) * s], fill=255)
    # front window (cleared first)
    d.rectangle([(cx - 6.5) * s, (cy - 2.5) * s, (cx + 3) * s, (cy + 6.5) * s], fill=0)
    d.rectangle([(cx - 6) * s, (cy - 2) * s, (cx + 2.5) * s, (cy + 6) * s],
                outline=255, width=int(1.5 * s))
    d.rectangle([(cx - 6) * s, (cy - 2) * s, (cx + 2.5) * s, (cy - 0.5) * s], fill=255)


def glyph_fullscreen(d, s, cx, cy):
    r, k, t = 6.0, 3.2, 1.6
    for sx in (-1, 1):
        for sy in (-1, 1):
            x, y = cx + sx * r, cy + sy * r
            d.line([(x * s, (y - sy * k) * s), (x * s, y * s), ((x - sx * k) * s, y * s)],
                   fill=255, width=int(t * s), joint="curve")
    d.rectangle([(cx - 2) * s, (cy - 2) * s, (cx + 2) * s, (cy + 2) * s], fill=255)


def glyph_boss(d, s, cx, cy):
    """An eye struck through: hide the window."""
    def almond(rx, ry):
        pts = []
        for k in range(33):
            t = math.pi * k / 32
            pts.append((cx - rx * math.cos(t), cy - ry * math.sin(t) ** 1.2))
        for k in range(33):
            t = math.pi * k / 32
            pts.append((cx + rx * math.cos(t), cy + ry * math.sin(t) ** 1.2))
        return [(x * s, y * s) for x, y in pts]
    d.polygon(almond(7.2, 4.6), fill=255)
    d.polygon(almond(5.6, 3.1), fill=0)
    d.ellipse([(cx - 2.3) * s, (cy - 2.3) * s, (cx + 2.3) * s, (cy + 2.3) * s], fill=255)
    d.line([((cx - 6.5) * s, (cy + 6.5) * s), ((cx + 6.5) * s, (cy - 6.5) * s)], fill=0,
           width=int(3.6 * s))
    d.line([((cx - 6.5) * s, (cy + 6.5) * s), ((cx + 6.5) * s, (cy - 6.5) * s)], fill=255,
           width=int(1.5 * s))


def glyph_refresh(d, s, cx, cy):
    r = 5.2
    d.arc([(cx - r) * s, (cy - r) * s, (cx + r) * s, (cy + r) * s], 35, 320,
          fill=255, width=int(1.7 * s))
    # arrow head at the arc's end (angle 320 deg, clockwise drawing in PIL)
    a = math.radians(320)
    ex, ey = cx + r * math.cos(a), cy + r * math.sin(a)
    d.polygon([((ex + 3.4) * s, (ey - 1.2) * s), ((ex - 1.6) * s, (ey - 3.6) * s),
               ((ex - 0.2) * s, (ey + 2.6) * s)], fill=255)


def glyph_server(d, s, cx, cy):
    for i in (-1, 0, 1):
        y = cy + i * 4.4
        d.rounded_rectangle([(cx - 6) * s, (y - 1.7) * s, (cx + 6) * s, (y + 1.7) * s],
                            radius=1 * s, outline=255, width=int(1.2 * s))
        d.ellipse([(cx + 2.6) * s, (y - 0.8) * s, (cx + 4.2) * s, (y + 0.8) * s], fill=255)


def glyph_clean(d, s, cx, cy):
    """A broom."""
    d.line([((cx + 5.5) * s, (cy - 7) * s), ((cx - 0.5) * s, (cy + 0.5) * s)],
           fill=255, width=int(1.7 * s))
    d.polygon([((cx - 1.8) * s, (cy - 1.6) * s), ((cx + 1.8) * s, (cy + 1.4) * s),
               ((cx - 2.0) * s, (cy + 7) * s), ((cx - 7.5) * s, (cy + 3.8) * s)], fill=255)
    for k in (0.33, 0.66):
        x0 = lerp(cx - 0.2, cx - 4.6, k)
        y0 = lerp(cy + 0.0, cy + 3.0, k) - 0.2
        d.line([(x0 * s, y0 * s), ((x0 - 1.8) * s, (y0 + 4.6) * s)], fill=0,
               width=int(0.8 * s))


# -- frame styles ------------------------------------------------------------

# frame index: 0 normal, 1 hover, 2 pressed, 3 disabled (never shown by code)
LABEL_COL = [(224, 214, 186), (255, 232, 150), (196, 160, 92), (112, 114, 126)]


def title_frame(w, idx, draw_glyph=None, label=None, vis_w=None, danger=False):
    """One 30-pixel frame of a title-bar button of width w (vis_w = the
    visible part: boss/clean/refresh lose their last two columns)."""
    vis_w = w if vis_w is None else vis_w
    img = title_background(w)
    size = (w, TITLE_H)
    # face: hover highlight or pressed hollow, inside the visible part
    inset = 1 if vis_w <= 32 else 2
    box = (inset, 2, vis_w - 1 - inset, 26)
    face = ss(size, lambda d, s: d.rounded_rectangle(
        [box[0] * s, box[1] * s, (box[2] + 1) * s, (box[3] + 1) * s],
        radius=4 * s, fill=255))
    if idx == 1:
        top, bot = ((150, 52, 44), (92, 22, 20)) if danger else ((74, 84, 124), (38, 44, 72))
        paint(img, vgrad(w, TITLE_H, [(0.05, top), (0.9, bot)]), face)
        rim = ImageChops.subtract(face, erode(face, 1))
        paint(img, (226, 150, 92) if danger else GOLD_MID, scale_mask(rim, 0.85))
        screen_add(img, (40, 34, 10), glow_mask(size, (vis_w / 2, 24), vis_w / 2, 1.5, 0.8, 10))
    elif idx == 2:
        top, bot = ((80, 20, 18), (110, 34, 30)) if danger else ((12, 14, 24), (30, 34, 54))
        paint(img, vgrad(w, TITLE_H, [(0.05, top), (0.9, bot)]), face)
        rim = ImageChops.subtract(face, shift(face, 0, 1))
        paint(img, (4, 4, 8), rim)
        rim2 = ImageChops.subtract(face, erode(face, 1))
        paint(img, GOLD_LO, scale_mask(rim2, 0.6))
    # content: glyph and label, centred in the visible part
    off = 1 if idx == 2 else 0
    col = LABEL_COL[idx]
    if danger and idx in (1, 2):
        col = (255, 244, 236) if idx == 1 else (230, 200, 190)
    fnt = font(FONT_CJK, 13)
    gw = 13 if draw_glyph else 0
    tw = int(round(fnt.getlength(label))) if label else 0
    gap = 4 if (draw_glyph and label) else 0
    total = gw + gap + tw
    x0 = (vis_w - total) / 2.0
    cy = 14.0
    m = Image.new("L", size, 0)
    if draw_glyph:
        gcx = x0 + gw / 2.0 + off
        m = ss(size, lambda d, s: draw_glyph(d, s, gcx, cy + off))
    if label:
        t = text_mask(size, (int(round(x0 + gw + gap)) + off, int(cy) + off), label,
                      fnt, anchor="lm")
        m = ImageChops.lighter(m, t)
    if idx == 1:
        screen_add(img, (90, 66, 18), m.filter(ImageFilter.GaussianBlur(2.2)))
    paint(img, (6, 6, 12), scale_mask(shift(m, 1, 1), 0.8 if idx != 3 else 0.4))
    paint(img, col, m)
    return img


def strip(frames):
    w, h = frames[0].size
    out = Image.new(frames[0].mode, (w, h * 4))
    for i, f in enumerate(frames):
        out.paste(f, (0, i * h))
    return out


def make_title_buttons():
    specs = [
        ("btn_close.png", 30, glyph_close, None, None, True),
        ("btn_restore.png", 29, glyph_restore, None, None, False),
        ("btn_max.png", 29, glyph_max, None, None, False),
        ("btn_min.png", 29, glyph_min, None, None, False),
        ("btn_fullscreen.png", 64, glyph_fullscreen, "全屏", None, False),
        ("btn_boss.png", 106, glyph_boss, "老板键", 104, False),
        ("btn_refresh.png", 82, glyph_refresh, "刷新", 80, False),
        ("btn_server.png", 61, glyph_server, "选服", None, False),
        ("btn_clean.png", 87, glyph_clean, "清理缓存", 85, False),
    ]
    for name, w, g, label, vis, danger in specs:
        frames = [title_frame(w, i, g, label, vis, danger) for i in range(4)]
        save_png(strip(frames), name)


# --------------------------------------------------------------------------
# Confirmation dialog: background bitmap 177 and its two buttons

CONF_W, CONF_H = 256, 110
CONF_OK_POS = (40, 72)
CONF_CANCEL_POS = (140, 72)


def confirm_background():
    w, h = CONF_W, CONF_H
    img = vgrad(w, h, [(0.0, (36, 40, 66)), (0.28, (24, 27, 46)),
                       (0.7, (16, 18, 32)), (1.0, (10, 11, 20))])
    size = (w, h)
    # soft light behind the heading and a faint emblem watermark
    screen_add(img, (34, 30, 18), glow_mask(size, (128, 18), 90, 1.8, 0.9, 22))
    wm = ss(size, lambda d, s: (
        d.ellipse([(128 - 40) * s, (58 - 40) * s, (128 + 40) * s, (58 + 40) * s],
                  outline=255, width=int(2 * s)),
        d.polygon([(128 * s, 26 * s), (140 * s, 58 * s), (128 * s, 90 * s),
                   (116 * s, 58 * s)], outline=255, width=int(2 * s))))
    screen_add(img, (14, 14, 20), wm)
    # texture
    n = noise(size, 6, 177, 0, 14)
    img = ImageChops.subtract(img, Image.merge("RGB", (n, n, n)))
    # heading divider with diamonds
    rule = Image.new("L", size, 0)
    d = ImageDraw.Draw(rule)
    d.line([(30, 31), (226, 31)], fill=255)
    fade = hgrad(w, h, [(0.08, (0, 0, 0)), (0.3, (255, 255, 255)),
                        (0.7, (255, 255, 255)), (0.92, (0, 0, 0))]).convert("L")
    paint(img, GOLD_MID, ImageChops.multiply(rule, fade))
    for x in (28, 228, 128):
        dm = ss(size, lambda d, s, x=x: d.polygon(
            [(x * s, 28 * s), ((x + 3) * s, 31.5 * s), (x * s, 35 * s),
             ((x - 3) * s, 31.5 * s)], fill=255))
        gold_paint(img, dm, 28, 35, outline=0, bevel=False)
    # button tray
    tray = ss(size, lambda d, s: d.rounded_rectangle(
        [8 * s, 66 * s, 248 * s, 104 * s], radius=5 * s, fill=255))
    paint(img, vgrad(w, h, [(0.6, (8, 9, 16)), (1.0, (14, 16, 28))]), scale_mask(tray, 0.55))
    # frame: dark outer line, gold line, dark inner line, corner pieces
    d = ImageDraw.Draw(img)
    d.rectangle([0, 0, w - 1, h - 1], outline=(6, 6, 10))
    frame = Image.new("L", size, 0)
    ImageDraw.Draw(frame).rectangle([2, 2, w - 3, h - 3], outline=255)
    paint(img, gold_material(size, 0, h), frame)
    d.rectangle([1, 1, w - 2, h - 2], outline=(28, 22, 12))
    d.rectangle([3, 3, w - 4, h - 4], outline=(8, 8, 14))
    for cx, cy in ((3, 3), (w - 4, 3), (3, h - 4), (w - 4, h - 4)):
        cm = ss(size, lambda d, s, cx=cx, cy=cy: d.polygon(
            [(cx * s, (cy - 7) * s), ((cx + 7) * s, cy * s), (cx * s, (cy + 7) * s),
             ((cx - 7) * s, cy * s)], fill=255))
        gold_paint(img, cm, cy - 7, cy + 7, outline=1)
    return img


def make_confirm_back():
    save_bmp(confirm_background(), "confirm_back.bmp")


def confirm_frame(bg, idx, label, kind):
    w, h = 74, 26
    img = bg.copy()
    size = (w, h)
    body = ss(size, lambda d, s: d.rounded_rectangle(
        [1 * s, 1 * s, 73 * s, 25 * s], radius=6 * s, fill=255))
    inner = erode(body, 2)
    if kind == "ok":
        cols = [((170, 60, 40), (96, 26, 18)), ((214, 90, 56), (130, 40, 26)),
                ((84, 24, 16), (132, 48, 32)), ((92, 90, 96), (58, 58, 64))]
    else:
        cols = [((58, 78, 126), (26, 34, 64)), ((86, 112, 170), (40, 52, 92)),
                ((18, 24, 44), (46, 60, 100)), ((92, 90, 96), (58, 58, 64))]
    top, bot = cols[idx]
    if idx == 3:
        paint(img, (84, 84, 88), body)
    else:
        gold_paint(img, body, 0, 26, outline=1, bevel=False,
                   bright=1.15 if idx == 1 else (0.8 if idx == 2 else 1.0))
    paint(img, vgrad(w, h, [(0.1, top), (0.9, bot)]), inner)
    if idx != 2 and idx != 3:
        # glossy upper half
        gloss = ss(size, lambda d, s: d.rounded_rectangle(
            [4 * s, 3.5 * s, 70 * s, 12 * s], radius=4 * s, fill=255))
        screen_add(img, (30, 30, 34) if idx == 0 else (46, 44, 40), gloss)
    else:
        # inner shadow at the top
        sh = ImageChops.subtract(inner, shift(inner, 0, 2))
        paint(img, (0, 0, 0), scale_mask(sh, 0.6))
    off = 1 if idx == 2 else 0
    fnt = font(FONT_CJK, 14)
    tw = text_width(label, fnt, 4)
    t = text_mask(size, (int(round(37 - tw / 2)) + off, 13 + off), label, fnt,
                  spacing=4, anchor="lm")
    if idx == 1:
        screen_add(img, (70, 56, 20), t.filter(ImageFilter.GaussianBlur(2)))
    paint(img, (10, 6, 4), scale_mask(shift(t, 1, 1), 0.8))
    colour = [(255, 246, 222), (255, 250, 210), (226, 206, 170), (170, 170, 174)][idx]
    paint(img, colour, t)
    return img


def make_confirm_buttons():
    bg = confirm_background()
    for name, pos, label, kind in (("confirm_ok.png", CONF_OK_POS, "确定", "ok"),
                                   ("confirm_cancel.png", CONF_CANCEL_POS, "取消", "cancel")):
        crop = bg.crop((pos[0], pos[1], pos[0] + 74, pos[1] + 26))
        save_png(strip([confirm_frame(crop, i, label, kind) for i in range(4)]), name)


# --------------------------------------------------------------------------
# Cache-cleaning veil (bitmap 187): 8-bit palette, every pixel black

def make_clean_back():
    img = Image.new("P", (57, 40), 0)
    img.putpalette([0, 0, 0] * 256)
    save_bmp(img, "clean_back.bmp")


# --------------------------------------------------------------------------
# Login window backdrop (PNG 155) and the overlay's two buttons

LW, LH = 1120, 693
BROWSER = (349, 175, 349 + 640, 175 + 449)     # left, top, right, bottom
PANEL = (341, 167, 996, 632)                   # calm panel under the page
MIN_BTN = (998, 196, 27, 27)
CLOSE_BTN = (1029, 192, 36, 35)
BTN_PLATE = (992, 184, 1075, 235)
BODY = (26, 116, 1094, 668)
CREST_C = (186, 150)                          # centre of the medallion
CREST_R = 104


def login_shape_mask():
    """The window's outline as an antialiased L mask."""
    def draw(d, s):
        S = lambda *v: [c * s for c in v]
        x0, y0, x1, y1 = BODY
        d.rounded_rectangle(S(x0, y0, x1, y1), radius=26 * s, fill=255)
        # corner bastions
        for cx, cy in ((x0 + 8, y0 + 8), (x1 - 8, y0 + 8), (x0 + 8, y1 - 8), (x1 - 8, y1 - 8)):
            d.regular_polygon((cx * s, cy * s, 22 * s), 4, rotation=45, fill=255)
        # raised centre cap on the top edge with a gem seat
        d.polygon([(560 * s, y0 * s), (600 * s, 100 * s), (640 * s, 94 * s),
                   (668 * s, 78 * s), (696 * s, 94 * s), (736 * s, 100 * s),
                   (776 * s, y0 * s)], fill=255)
        # top-right spire over the button plate
        d.polygon([(986 * s, y0 * s), (1012 * s, 104 * s), (1034 * s, 88 * s),
                   (1046 * s, 62 * s), (1058 * s, 88 * s), (1076 * s, 106 * s),
                   (1086 * s, y0 * s)], fill=255)
        # wings behind the medallion
        cx, cy = CREST_C
        for sgn in (-1, 1):
            pts = [(cx + sgn * 40, cy - 10)]
            for k in range(5):
                ang = math.radians(-62 + k * 16)
                L = 150 - k * 16
                px = cx + sgn * (60 + L * math.cos(ang))
                py = cy + L * math.sin(ang) - 8
                pts.append((px, py))
                pts.append((cx + sgn * (70 + (L - 34) * math.cos(ang + 0.16)),
                            cy + (L - 34) * math.sin(ang + 0.16) - 6))
            pts.append((cx + sgn * 60, cy + 60))
            pts = [(max(8, min(LW - 8, px)), py) for px, py in pts]
            d.polygon([(px * s, py * s) for px, py in pts], fill=255)
        # medallion and crown
        r = CREST_R + 10
        d.ellipse(S(cx - r, cy - r, cx + r, cy + r), fill=255)
        d.polygon([((cx - 30) * s, (cy - r + 14) * s), ((cx - 18) * s, (cy - r - 22) * s),
                   ((cx - 8) * s, (cy - r - 6) * s), (cx * s, (cy - r - 38) * s),
                   ((cx + 8) * s, (cy - r - 6) * s), ((cx + 18) * s, (cy - r - 22) * s),
                   ((cx + 30) * s, (cy - r + 14) * s)], fill=255)
        # ribbon under the medallion
        d.polygon(S(46, 244, 326, 244, 338, 272, 326, 300, 46, 300, 34, 272), fill=255)
        # two banner tails hanging below the body
        for bx in (96, 236):
            d.polygon(S(bx, 640, bx + 54, 640, bx + 54, 686, bx + 27, 670, bx, 686), fill=255)
    return ss((LW, LH), draw, scale=3)


def sky_and_scenery(size):
    w, h = size
    img = vgrad(w, h, [(0.0, (10, 14, 40)), (0.3, (28, 30, 74)), (0.55, (58, 44, 92)),
                       (0.72, (106, 66, 92)), (0.8, (60, 40, 70)), (1.0, (12, 12, 24))])
    # nebula clouds
    for seed, col, cell, k in ((1, (60, 40, 110), 90, 0.55), (2, (30, 70, 120), 60, 0.45),
                               (3, (120, 60, 90), 120, 0.35)):
        n = noise(size, cell, seed, 0, 255).point(lambda v: max(0, v - 120) * 2)
        screen_add(img, col, scale_mask(n, k))
    # stars
    rng = random.Random(155)
    d = ImageDraw.Draw(img)
    for _ in range(520):
        x, y = rng.randrange(w), int(rng.random() ** 1.6 * h * 0.7)
        b = rng.randint(90, 255)
        d.point((x, y), fill=(b, b, min(255, b + 20)))
    for _ in range(26):
        x, y = rng.randrange(w), int(rng.random() ** 1.4 * h * 0.6)
        screen_add(img, (150, 150, 190), glow_mask(size, (x, y), 5, 3.0))
        d.point((x, y), fill=(255, 255, 255))
    # moon with halo
    mx, my = 300, 372
    screen_add(img, (110, 88, 70), glow_mask(size, (mx, my), 170, 2.2))
    screen_add(img, (150, 140, 120), glow_mask(size, (mx, my), 64, 1.8))
    moon = ss(size, lambda d, s: d.ellipse([(mx - 24) * s, (my - 24) * s,
                                            (mx + 24) * s, (my + 24) * s], fill=255))
    paint(img, vgrad(w, h, [((my - 24) / h, (255, 252, 240)), ((my + 24) / h, (246, 228, 196))]), moon)
    crater = noise(size, 8, 9, 0, 255).point(lambda v: max(0, v - 150))
    paint(img, (214, 196, 170), ImageChops.multiply(moon, crater))
    screen_add(img, (40, 36, 30), glow_mask(size, (mx, my), 30, 1.0, 0.8))
    # mountain ranges, far to near
    layers = [(11, 470, 70, (70, 62, 110), (38, 36, 70)),
              (12, 520, 60, (44, 40, 78), (24, 24, 48)),
              (13, 575, 40, (24, 22, 44), (14, 14, 28))]
    for seed, base, amp, ctop, cbot in layers:
        rng = random.Random(seed)
        pts = ridge(rng, -10, w + 10, base + rng.uniform(-20, 20),
                    base + rng.uniform(-20, 20), amp * 2.2)
        m = ss(size, lambda d, s, pts=pts: d.polygon(
            [(x * s, y * s) for x, y in pts] + [((w + 10) * s, h * s), (-10 * s, h * s)],
            fill=255), scale=2)
        paint(img, vgrad(w, h, [(base / h - 0.08, ctop), (min(1.0, base / h + 0.12), cbot)]), m)
        # rim light on the ridge facing the moon
        rim = ImageChops.subtract(m, shift(m, 0, 2))
        screen_add(img, (60, 50, 60), scale_mask(rim, 0.7))
        # haze at the foot of the range
        haze = glow_mask(size, (w / 2, base + 60), w * 0.75, 1.3, 0.55, 36)
        screen_add(img, (50, 40, 66), haze)
    # castle on a crag
    castle = ss(size, draw_castle, scale=3)
    paint(img, vgrad(w, h, [(430 / h, (22, 20, 40)), (600 / h, (10, 10, 20))]), castle)
    rim = ImageChops.subtract(castle, shift(castle, -1, 0))
    screen_add(img, (70, 60, 70), scale_mask(rim, 0.6))
    for x, y in ((112, 508), (140, 492), (156, 531), (176, 505), (196, 520), (214, 488),
                 (128, 538), (232, 530), (90, 530)):
        screen_add(img, (120, 80, 20), glow_mask(size, (x, y), 7, 2.0))
        ImageDraw.Draw(img).rectangle([x - 1, y - 2, x, y + 1], fill=(255, 210, 120))
    # low mist
    for i, (y, a) in enumerate(((600, 0.5), (628, 0.65), (560, 0.35))):
        n = noise(size, 40, 30 + i, 60, 255)
        band = ImageChops.multiply(glow_mask(size, (w / 2, y), w * 0.8, 1.0, a, 26), n)
        screen_add(img, (90, 90, 120), band)
    # drifting motes of light
    rng = random.Random(42)
    for _ in range(40):
        x = rng.uniform(30, 340) if rng.random() < 0.7 else rng.uniform(990, 1090)
        y = rng.uniform(340, 640)
        r = rng.uniform(2.5, 6)
        screen_add(img, (150, 110, 40), glow_mask(size, (x, y), r, 2.2, rng.uniform(0.5, 1.0)))
    # forest at the very bottom
    rng = random.Random(21)
    forest = Image.new("L", size, 0)
    fd = ImageDraw.Draw(forest)
    x = -10
    while x < w + 10:
        th = rng.uniform(18, 46)
        tw = th * rng.uniform(0.32, 0.42)
        base = h - 30 + rng.uniform(-6, 8)
        fd.polygon([(x - tw, base), (x, base - th), (x + tw, base)], fill=255)
        x += tw * rng.uniform(0.7, 1.2)
    fd.rectangle([0, h - 36, w, h], fill=255)
    forest = forest.filter(ImageFilter.GaussianBlur(0.6))
    paint(img, (6, 7, 14), forest)
    return img


def draw_castle(d, s):
    P = lambda pts: [(x * s, y * s) for x, y in pts]
    # crag
    rng = random.Random(99)
    left = ridge(rng, 30, 84, 668, 552, 10, depth=5)
    top = ridge(rng, 84, 246, 552, 556, 6, depth=5)
    right = ridge(rng, 246, 300, 556, 668, 12, depth=5)
    d.polygon(P(left + top[1:] + right[1:]), fill=255)
    # curtain wall
    d.rectangle([80 * s, 520 * s, 250 * s, 560 * s], fill=255)
    for x in range(80, 250, 8):
        d.rectangle([x * s, 514 * s, (x + 4) * s, 521 * s], fill=255)
    # towers: (x, width, top, roof height)
    for x, tw, top, roof in ((84, 20, 494, 26), (120, 24, 470, 36), (150, 30, 440, 52),
                             (188, 22, 478, 30), (222, 20, 496, 24)):
        d.rectangle([x * s, top * s, (x + tw) * s, 560 * s], fill=255)
        d.polygon(P([(x - 3, top), (x + tw / 2, top - roof), (x + tw + 3, top)]), fill=255)
        d.line([((x + tw / 2) * s, (top - roof) * s), ((x + tw / 2) * s, (top - roof - 10) * s)],
               fill=255, width=int(1.2 * s))
        d.polygon(P([(x + tw / 2, top - roof - 10), (x + tw / 2 + 8, top - roof - 7),
                     (x + tw / 2, top - roof - 4)]), fill=255)


def draw_medallion(img):
    size = img.size
    cx, cy = CREST_C
    R = CREST_R
    # wings in gold filigree
    wings = ss(size, lambda d, s: _wing_lines(d, s), scale=3)
    gold_paint(img, wings, cy - 120, cy + 60, outline=1)
    # outer ring
    ring = ss(size, lambda d, s: (
        d.ellipse([(cx - R - 8) * s, (cy - R - 8) * s, (cx + R + 8) * s, (cy + R + 8) * s], fill=255),
        d.ellipse([(cx - R + 6) * s, (cy - R + 6) * s, (cx + R - 6) * s, (cy + R - 6) * s], fill=0)),
        scale=3)
    gold_paint(img, ring, cy - R - 8, cy + R + 8, outline=1)
    # studs on the ring
    for k in range(16):
        a = math.radians(k * 22.5)
        px, py = cx + (R + 1) * math.cos(a), cy + (R + 1) * math.sin(a)
        stud = ss(size, lambda d, s, px=px, py=py: d.ellipse(
            [(px - 2.6) * s, (py - 2.6) * s, (px + 2.6) * s, (py + 2.6) * s], fill=255))
        paint(img, GOLD_DARK, dilate(stud, 1))
        paint(img, GOLD_HI, stud)
    # field
    field = ss(size, lambda d, s: d.ellipse(
        [(cx - R + 6) * s, (cy - R + 6) * s, (cx + R - 6) * s, (cy + R - 6) * s], fill=255), scale=3)
    fld = vgrad(size[0], size[1], [((cy - R) / size[1], (30, 44, 104)),
                                   ((cy + R) / size[1], (10, 14, 40))])
    paint(img, fld, field)
    screen_add(img, (60, 90, 150), ImageChops.multiply(field, glow_mask(size, (cx, cy - 10), R, 1.4)))
    # inner thin ring and rune ticks
    thin = ss(size, lambda d, s: d.ellipse(
        [(cx - R + 16) * s, (cy - R + 16) * s, (cx + R - 16) * s, (cy + R - 16) * s],
        outline=255, width=int(1.4 * s)), scale=3)
    paint(img, GOLD_MID, thin)
    ticks = ss(size, lambda d, s: [d.line(
        [((cx + (R - 16) * math.cos(math.radians(a))) * s, (cy + (R - 16) * math.sin(math.radians(a))) * s),
         ((cx + (R - 24) * math.cos(math.radians(a))) * s, (cy + (R - 24) * math.sin(math.radians(a))) * s)],
        fill=255, width=int(1.2 * s)) for a in range(0, 360, 15)], scale=3)
    paint(img, GOLD_MID, ticks)
    # eight-pointed star
    star = ss(size, lambda d, s: _star(d, s, cx, cy, R - 22, 22), scale=3)
    screen_add(img, (120, 100, 40), star.filter(ImageFilter.GaussianBlur(6)))
    gold_paint(img, star, cy - R, cy + R, outline=1)
    # the V sigil on a dark disc in the centre
    disc = ss(size, lambda d, s: d.ellipse(
        [(cx - 36) * s, (cy - 36) * s, (cx + 36) * s, (cy + 36) * s], fill=255), scale=3)
    paint(img, GOLD_DARK, dilate(disc, 2))
    paint(img, vgrad(size[0], size[1], [((cy - 36) / size[1], (40, 30, 70)),
                                        ((cy + 36) / size[1], (12, 8, 24))]), disc)
    fV = font(FONT_SERIF_BOLD, 56)
    v = text_mask(size, (cx, cy + 2), "V", fV, anchor="mm")
    screen_add(img, (140, 110, 40), v.filter(ImageFilter.GaussianBlur(5)))
    gold_paint(img, v, cy - 24, cy + 26, outline=1)
    # crown above the medallion, with a gem
    top = cy - R - 8
    crown = ss(size, lambda d, s: d.polygon(
        [((cx - 28) * s, (top + 16) * s), ((cx - 17) * s, (top - 18) * s), ((cx - 8) * s, (top - 2) * s),
         (cx * s, (top - 32) * s), ((cx + 8) * s, (top - 2) * s), ((cx + 17) * s, (top - 18) * s),
         ((cx + 28) * s, (top + 16) * s)], fill=255), scale=3)
    gold_paint(img, crown, top - 32, top + 16, outline=1)
    gem = ss(size, lambda d, s: d.ellipse(
        [(cx - 6) * s, (top - 4) * s, (cx + 6) * s, (top + 8) * s], fill=255), scale=3)
    paint(img, vgrad(size[0], size[1], [((top - 4) / size[1], (255, 120, 120)),
                                        ((top + 8) / size[1], (150, 10, 30))]), gem)
    screen_add(img, (200, 60, 60), glow_mask(size, (cx, top + 2), 16, 2.2, 0.8))
    screen_add(img, (255, 255, 255), glow_mask(size, (cx - 2, top), 3, 1.5, 0.9))


def _star(d, s, cx, cy, r1, r2):
    pts = []
    for k in range(16):
        a = math.radians(-90 + k * 22.5)
        r = r1 if k % 2 == 0 else r2
        if k % 4 == 2:
            r = r1 * 0.62
        pts.append(((cx + r * math.cos(a)) * s, (cy + r * math.sin(a)) * s))
    d.polygon(pts, fill=255)


def _wing_lines(d, s):
    cx, cy = CREST_C
    for sgn in (-1, 1):
        for k in range(5):
            ang = math.radians(-62 + k * 16)
            L = 150 - k * 16
            x0, y0 = cx + sgn * 64, cy - 4 + k * 6
            px = cx + sgn * (60 + L * math.cos(ang))
            py = cy + L * math.sin(ang) - 8
            qx = cx + sgn * (70 + (L - 34) * math.cos(ang + 0.16))
            qy = cy + (L - 34) * math.sin(ang + 0.16) - 6
            px = max(12, min(LW - 12, px))
            qx = max(12, min(LW - 12, qx))
            d.polygon([(x0 * s, y0 * s), (px * s, py * s), (qx * s, qy * s),
                       ((x0 + sgn * 10) * s, (y0 + 12) * s)], fill=255)


def draw_ribbon(img):
    size = img.size
    rib = ss(size, lambda d, s: d.polygon(
        [(c * s) for c in (50, 248, 322, 248, 334, 272, 322, 296, 50, 296, 38, 272)], fill=255), scale=3)
    paint(img, GOLD_DARK, dilate(rib, 1))
    gold_paint(img, rib, 246, 298, outline=0)
    inner = erode(rib, 3)
    paint(img, vgrad(size[0], size[1], [(250 / LH, (130, 28, 34)), (272 / LH, (92, 14, 22)),
                                        (294 / LH, (52, 6, 14))]), inner)
    stitch = ImageChops.subtract(erode(rib, 5), erode(rib, 6))
    paint(img, (200, 120, 90), scale_mask(stitch, 0.35))
    # the name
    f = font(FONT_SERIF_BOLD, 40)
    label = "Vellmar"
    tw = text_width(label, f, 3)
    x = 186 - tw / 2
    t = text_mask(size, (x, 272), label, f, spacing=3, anchor="lm")
    paint(img, (20, 4, 6), dilate(t, 2))
    screen_add(img, (90, 60, 20), t.filter(ImageFilter.GaussianBlur(4)))
    gold_paint(img, t, 254, 290, outline=0)
    # tagline under the ribbon
    fz = font(FONT_CJK, 16)
    tag = "踏上传奇之旅"
    tw = text_width(tag, fz, 6)
    tm = text_mask(size, (186 - tw / 2, 318), tag, fz, spacing=6, anchor="lm")
    paint(img, (0, 0, 0), tm.filter(ImageFilter.GaussianBlur(2)))
    paint(img, (236, 220, 180), tm)
    for sx in (-1, 1):
        x0 = 186 + sx * (tw / 2 + 12)
        ln = Image.new("L", size, 0)
        ImageDraw.Draw(ln).line([(x0, 318), (x0 + sx * 44, 318)], fill=255)
        paint(img, GOLD_MID, ln)


def draw_panel(img):
    size = img.size
    x0, y0, x1, y1 = PANEL
    # drop shadow
    sh = Image.new("L", size, 0)
    ImageDraw.Draw(sh).rounded_rectangle([x0 - 2, y0 + 2, x1 + 6, y1 + 8], radius=10, fill=200)
    paint(img, (0, 0, 0), sh.filter(ImageFilter.GaussianBlur(9)))
    # button plate joined to the panel's top right
    px0, py0, px1, py1 = BTN_PLATE
    plate = ss(size, lambda d, s: d.rounded_rectangle(
        [px0 * s, py0 * s, px1 * s, py1 * s], radius=9 * s, fill=255))
    frame = ss(size, lambda d, s: (
        d.rounded_rectangle([(x0 - 5) * s, (y0 - 5) * s, (x1 + 5) * s, (y1 + 5) * s],
                            radius=9 * s, fill=255),
        d.rounded_rectangle([(px0 - 4) * s, (py0 - 4) * s, (px1 + 4) * s, (py1 + 4) * s],
                            radius=12 * s, fill=255)))
    gold_paint(img, frame, y0 - 5, y1 + 5, outline=1)
    inner = ss(size, lambda d, s: (
        d.rounded_rectangle([(x0 - 1) * s, (y0 - 1) * s, (x1 + 1) * s, (y1 + 1) * s],
                            radius=6 * s, fill=255),
        d.rounded_rectangle([(px0 - 1) * s, (py0 - 1) * s, (px1 + 1) * s, (py1 + 1) * s],
                            radius=9 * s, fill=255)))
    paint(img, (10, 9, 14), inner)
    body = ss(size, lambda d, s: (
        d.rounded_rectangle([x0 * s, y0 * s, x1 * s, y1 * s], radius=5 * s, fill=255),
        d.rounded_rectangle([px0 * s, py0 * s, px1 * s, py1 * s], radius=8 * s, fill=255)))
    calm = vgrad(size[0], size[1], [(y0 / LH, (22, 25, 40)), (y1 / LH, (13, 15, 26))])
    paint(img, calm, body)
    # the page area itself: one flat, calm tone with a whisper of light on top
    bx0, by0, bx1, by1 = BROWSER
    page = Image.new("L", size, 0)
    ImageDraw.Draw(page).rectangle([bx0, by0, bx1 - 1, by1 - 1], fill=255)
    paint(img, vgrad(size[0], size[1], [(by0 / LH, (19, 22, 36)), (by1 / LH, (15, 17, 29))]), page)
    screen_add(img, (10, 10, 14), ImageChops.multiply(
        page, glow_mask(size, ((bx0 + bx1) / 2, by0), 330, 1.6, 0.9, 90)))
    edge = Image.new("L", size, 0)
    ImageDraw.Draw(edge).rectangle([bx0 - 1, by0 - 1, bx1, by1], outline=255)
    paint(img, (40, 38, 46), edge)
    # gold corner brackets of the panel
    for cx, cy, sx, sy in ((x0 - 5, y0 - 5, 1, 1), (x1 + 5, y0 - 5, -1, 1),
                           (x0 - 5, y1 + 5, 1, -1), (x1 + 5, y1 + 5, -1, -1)):
        if (sx, sy) == (-1, 1):
            continue                       # the button plate sits there
        br = ss(size, lambda d, s, cx=cx, cy=cy, sx=sx, sy=sy: (
            d.polygon([(cx * s, cy * s), ((cx + sx * 30) * s, cy * s),
                       ((cx + sx * 24) * s, (cy + sy * 5) * s), ((cx + sx * 5) * s, (cy + sy * 5) * s),
                       ((cx + sx * 5) * s, (cy + sy * 24) * s), (cx * s, (cy + sy * 30) * s)], fill=255),
            d.regular_polygon(((cx - sx * 2) * s, (cy - sy * 2) * s, 7 * s), 4, rotation=45, fill=255)))
        gold_paint(img, br, cy - 30, cy + 30, outline=1)
    # seats of the two buttons on the plate
    for bx, by, bw, bh in (MIN_BTN, CLOSE_BTN):
        seat = ss(size, lambda d, s, bx=bx, by=by, bw=bw, bh=bh: d.ellipse(
            [(bx - 1) * s, (by - 1) * s, (bx + bw + 1) * s, (by + bh + 1) * s], fill=255))
        paint(img, (6, 6, 10), seat)


def draw_frame(img, shape):
    """Gold trim along the outline, corner ornaments, header filigree."""
    size = img.size
    x0, y0, x1, y1 = BODY
    inner = erode(shape.point(lambda v: 255 if v > 127 else 0), 3)
    trim = ImageChops.subtract(shape.point(lambda v: 255 if v > 127 else 0), inner)
    trim = trim.filter(ImageFilter.GaussianBlur(0.5))
    gold_paint(img, trim, y0, y1, outline=0)
    band = ImageChops.subtract(inner, erode(inner, 2))
    paint(img, (20, 12, 6), band)
    # header filigree between the crest and the button spire
    fil = Image.new("L", size, 0)
    d = ImageDraw.Draw(fil)
    d.line([(380, y0 + 18), (540, y0 + 18)], fill=255, width=1)
    d.line([(796, y0 + 18), (960, y0 + 18)], fill=255, width=1)
    fade = hgrad(size[0], size[1], [(340 / LW, (0, 0, 0)), (520 / LW, (255, 255, 255)),
                                    (820 / LW, (255, 255, 255)), (1000 / LW, (0, 0, 0))]).convert("L")
    paint(img, GOLD_MID, ImageChops.multiply(fil, fade))
    # gem in the centre cap
    gx, gy = 668, 100
    cap = ss(size, lambda d, s: d.regular_polygon((gx * s, gy * s, 15 * s), 4, rotation=45, fill=255))
    gold_paint(img, cap, gy - 15, gy + 15, outline=1)
    gem = ss(size, lambda d, s: d.regular_polygon((gx * s, gy * s, 9 * s), 4, rotation=45, fill=255))
    paint(img, vgrad(size[0], size[1], [((gy - 9) / LH, (140, 220, 255)),
                                        ((gy + 9) / LH, (20, 60, 160))]), gem)
    screen_add(img, (40, 90, 140), glow_mask(size, (gx, gy), 26, 2.0, 0.8))
    # spire gem above the button plate
    sx, sy = 1046, 96
    sg = ss(size, lambda d, s: d.regular_polygon((sx * s, sy * s, 8 * s), 4, rotation=45, fill=255))
    gold_paint(img, dilate(sg, 2), sy - 10, sy + 10, outline=1)
    paint(img, vgrad(size[0], size[1], [((sy - 8) / LH, (255, 130, 120)),
                                        ((sy + 8) / LH, (140, 10, 30))]), sg)
    # version at the bottom right
    fv = font(FONT_SANS_BOLD, 10)
    vm = text_mask(size, (x1 - 30, y1 - 18), "1.0.0.1", fv, anchor="rm")
    paint(img, (150, 140, 120), vm)


def login_backdrop():
    size = (LW, LH)
    shape = login_shape_mask()
    img = sky_and_scenery(size)
    # darken towards the edges of the body (vignette)
    vig = ImageChops.invert(glow_mask(size, (LW / 2, LH / 2), LW * 0.62, 0.9, 1.0, LH * 0.75))
    paint(img, (0, 0, 0), scale_mask(vig, 0.55))
    draw_panel(img)
    draw_frame(img, shape)
    # banner tails: dark red cloth with gold hems
    for bx in (96, 236):
        tail = ss(size, lambda d, s, bx=bx: d.polygon(
            [(c * s) for c in (bx, 632, bx + 54, 632, bx + 54, 686, bx + 27, 670, bx, 686)], fill=255))
        paint(img, GOLD_DARK, tail)
        cloth = erode(tail, 3)
        paint(img, vgrad(LW, LH, [(640 / LH, (110, 20, 28)), (690 / LH, (50, 6, 12))]), cloth)
        em = ss(size, lambda d, s, bx=bx: d.regular_polygon(((bx + 27) * s, 652 * s, 7 * s), 4,
                                                            rotation=45, fill=255))
        gold_paint(img, em, 645, 659, outline=0)
    draw_medallion(img)
    draw_ribbon(img)
    # alpha: the outline with a feathered edge and a faint drop shadow
    alpha = shape.filter(ImageFilter.GaussianBlur(1.2))
    alpha = ImageChops.lighter(alpha, erode(shape, 1))
    out = Image.new("RGBA", size, (0, 0, 0, 0))
    shadow = shift(shape, 3, 4).filter(ImageFilter.GaussianBlur(5)).point(
        lambda v: 0 if v < 40 else int(v * 0.45))
    out.paste(Image.new("RGBA", size, (0, 0, 0, 255)), (0, 0), shadow)
    layer = img.convert("RGBA")
    layer.putalpha(alpha)
    out = Image.alpha_composite(out, layer)
    # no stray, nearly invisible pixels: they would still take mouse input
    a = out.getchannel("A").point(lambda v: 0 if v < 6 else v)
    out.putalpha(a)
    return out


def make_login_back():
    save_png(login_backdrop(), "login_back.png")


def overlay_button(back, rect, idx, kind):
    """A round gem button, composited over the backdrop pixels it covers
    and given a hard (0/255) alpha: the overlay window under it is
    colour-keyed, so soft alpha would blend with the key colour."""
    bx, by, bw, bh = rect
    size = (bw, bh)
    under = back.crop((bx, by, bx + bw, by + bh))
    img = Image.new("RGB", size, (8, 8, 12))
    img.paste(under.convert("RGB"), (0, 0), under.getchannel("A"))
    cx, cy = (bw - 1) / 2.0, (bh - 1) / 2.0
    r = min(bw, bh) / 2.0 - 1.0
    disc = ss(size, lambda d, s: d.ellipse([(cx - r + 0.5) * s, (cy - r + 0.5) * s,
                                            (cx + r + 0.5) * s, (cy + r + 0.5) * s], fill=255))
    inner_r = r - 2.6
    core = ss(size, lambda d, s: d.ellipse(
        [(cx - inner_r + 0.5) * s, (cy - inner_r + 0.5) * s,
         (cx + inner_r + 0.5) * s, (cy + inner_r + 0.5) * s], fill=255))
    if idx == 3:
        paint(img, (96, 96, 100), disc)
    else:
        gold_paint(img, disc, 0, bh, outline=0, bevel=False,
                   bright=[1.0, 1.2, 0.75][idx])
    if kind == "close":
        cols = [((190, 56, 44), (90, 14, 14)), ((236, 96, 70), (140, 30, 24)),
                ((70, 10, 10), (130, 34, 28)), ((90, 90, 96), (56, 56, 62))]
    else:
        cols = [((60, 86, 150), (20, 28, 66)), ((96, 130, 200), (36, 50, 104)),
                ((14, 20, 44), (44, 60, 110)), ((90, 90, 96), (56, 56, 62))]
    top, bot = cols[idx]
    paint(img, vgrad(bw, bh, [(0.1, top), (0.9, bot)]), core)
    if idx in (0, 1):
        gl_r = inner_r * 0.72
        gloss = ss(size, lambda d, s: d.ellipse(
            [(cx - gl_r) * s, (cy - inner_r + 1.2) * s, (cx + gl_r) * s, (cy - 0.5) * s], fill=255))
        screen_add(img, (50, 50, 56) if idx == 0 else (70, 66, 60), ImageChops.multiply(gloss, core))
    else:
        sh = ImageChops.subtract(core, shift(core, 0, 2))
        paint(img, (0, 0, 0), scale_mask(sh, 0.6))
    off = 1 if idx == 2 else 0
    g = Image.new("L", size, 0)
    if kind == "close":
        g = ss(size, lambda d, s: glyph_close(d, s, cx + 0.5 + off, cy + 0.5 + off, r=5.4, wdt=2.6))
    else:
        g = ss(size, lambda d, s: d.rounded_rectangle(
            [(cx - 5.5 + 0.5 + off) * s, (cy + 0.5 + off - 1.3) * s,
             (cx + 5.5 + 0.5 + off) * s, (cy + 0.5 + off + 1.3) * s], radius=1 * s, fill=255))
    if idx == 1:
        screen_add(img, (90, 70, 30), g.filter(ImageFilter.GaussianBlur(1.6)))
    paint(img, (10, 4, 4), scale_mask(shift(g, 1, 1), 0.7))
    paint(img, [(255, 244, 226), (255, 255, 240), (220, 200, 180), (170, 170, 176)][idx], g)
    out = img.convert("RGBA")
    out.putalpha(disc.point(lambda v: 255 if v >= 24 else 0))
    return out


def make_overlay_buttons():
    path = os.path.join(OUT, "login_back.png")
    back = Image.open(path) if os.path.exists(path) else login_backdrop()
    back.load()
    for name, rect, kind in (("login_close.png", CLOSE_BTN, "close"),
                             ("login_min.png", MIN_BTN, "min")):
        save_png(strip([overlay_button(back, rect, i, kind) for i in range(4)]), name)


# --------------------------------------------------------------------------
# Application icon (IDR_MAINFRAME, 128): one 64 x 64, 32-bit BMP-format image

def icon_image():
    S = 4
    n = 64 * S
    size = (n, n)

    def P(*v):
        return [c * S for c in v]

    shield_pts = [(32, 3), (57, 10), (56, 32), (50, 46), (32, 61), (14, 46), (8, 32), (7, 10)]
    shield = Image.new("L", size, 0)
    ImageDraw.Draw(shield).polygon([(x * S, y * S) for x, y in shield_pts], fill=255)
    shield = shield.filter(ImageFilter.GaussianBlur(S * 0.6)).point(lambda v: 255 if v > 100 else 0)
    col = gold_material(size, 0, n)
    rim_in = erode(shield, 4 * S // 2)
    rim_in = rim_in.filter(ImageFilter.MinFilter(5)).filter(ImageFilter.MinFilter(5))
    field = vgrad(n, n, [(0.1, (46, 70, 150)), (0.6, (22, 30, 86)), (1.0, (10, 12, 40))])
    col.paste(field, (0, 0), rim_in)
    # glow behind the sigil
    g = glow_mask(size, (32 * S, 30 * S), 22 * S, 1.6, 0.8)
    col = ImageChops.add(col, Image.merge("RGB", (scale_mask(g, 0.35), scale_mask(g, 0.45),
                                                  scale_mask(g, 0.7))))
    # star behind the V
    star = Image.new("L", size, 0)
    _star(ImageDraw.Draw(star), S, 32, 31, 19, 6)
    star = ImageChops.multiply(star, rim_in)
    col.paste(mix(GOLD_MID, (60, 70, 130), 0.45), (0, 0), star)
    # the V sigil
    fV = font(FONT_SERIF_BOLD, 36 * S)
    v = text_mask(size, (32 * S, 32 * S), "V", fV, anchor="mm")
    col.paste(GOLD_DARK, (0, 0), dilate(v, 1).filter(ImageFilter.MaxFilter(5)))
    col.paste(gold_material(size, 16 * S, 48 * S), (0, 0), v)
    hi = ImageChops.subtract(v, shift(v, S, S))
    col.paste(GOLD_HI, (0, 0), hi)
    # crown gem at the top of the rim
    gem = Image.new("L", size, 0)
    ImageDraw.Draw(gem).ellipse(P(28.5, 3.5, 35.5, 10.5), fill=255)
    col.paste(GOLD_DARK, (0, 0), dilate(gem, S))
    col.paste(vgrad(n, n, [(0.05, (255, 130, 130)), (0.16, (150, 10, 30))]), (0, 0), gem)
    hi = Image.new("L", size, 0)
    ImageDraw.Draw(hi).ellipse(P(30.3, 4.8, 32.3, 6.8), fill=255)
    col.paste((255, 230, 230), (0, 0), hi)
    # rim outline
    edge = ImageChops.subtract(shield, erode(shield, S // 2 + 1))
    col.paste(GOLD_DARK, (0, 0), edge)
    rgb = col.resize((64, 64), Image.LANCZOS)
    a = shield.resize((64, 64), Image.LANCZOS)
    img = rgb.convert("RGBA")
    img.putalpha(a)
    return img


def write_ico(img, path):
    """ICO with one 64 x 64 32-bit image in BMP format: BITMAPINFOHEADER,
    XOR (BGRA, bottom-up) and AND mask (1 bpp, rows padded to 32 bits)."""
    w, h = img.size
    px = img.load()
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = px[x, y]
            xor += bytes((b, g, r, a))
    stride = ((w + 31) // 32) * 4
    andm = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if px[x, y][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        andm += row
    hdr = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(andm), 0, 0, 0, 0)
    data = hdr + bytes(xor) + bytes(andm)
    assert len(data) == 16936, len(data)
    ico = struct.pack("<HHH", 0, 1, 1)
    ico += struct.pack("<BBBBHHII", w, h, 0, 0, 1, 32, len(data), 6 + 16)
    with open(path, "wb") as f:
        f.write(ico + data)


def make_icon():
    img = icon_image()
    write_ico(img, os.path.join(RES, "Vellmar.ico"))


# --------------------------------------------------------------------------

JOBS = [
    ("titlebar", make_titlebar),
    ("title_logo", make_title_logo),
    ("title_buttons", make_title_buttons),
    ("confirm_back", make_confirm_back),
    ("confirm_buttons", make_confirm_buttons),
    ("clean_back", make_clean_back),
    ("login_back", make_login_back),
    ("overlay_buttons", make_overlay_buttons),
    ("icon", make_icon),
]


def main(argv):
    os.makedirs(OUT, exist_ok=True)
    wanted = set(argv[1:])
    for name, fn in JOBS:
        if not wanted or name in wanted:
            fn()
            print("made", name)


if __name__ == "__main__":
    main(sys.argv)

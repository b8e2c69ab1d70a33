#!/usr/bin/python3
"""Draws the installer's pictures: the program icon, every PNG resource at its four display
scales, and the demo slide-show pictures of the sample languages.

Everything is drawn at four times the final size and reduced with a Lanczos filter, which
gives smooth edges without any hand-tuned pixels. The output is committed, so the build does
not need this script (or Pillow); run it again after changing a drawing:

    /usr/bin/python3 tools/art/make_art.py [--root REPO]
"""
import argparse
import os

from PIL import Image, ImageDraw, ImageFilter, ImageFont

# Theme colours (R, G, B) of the installer's dark palette.
WINDOW_BG = (24, 25, 30)
CAPTION_TEXT = (200, 200, 200)
LABEL_TEXT = (185, 186, 187)
STRONG_TEXT = (255, 255, 255)
FIELD_BG = (47, 48, 52)
FIELD_BUTTON_BG = (65, 66, 70)
TRACK = (75, 71, 70)
ACCENT = (7, 165, 216)
ACCENT_HOVER = (23, 190, 244)
ACCENT_DOWN = (5, 138, 181)
DISABLED = (112, 112, 112)

SS = 4  # supersampling factor
FONT_DIR = "/usr/share/fonts/truetype/dejavu"

# Resource id at 100 % and the four sizes (100, 125, 150, 200 %) of every picture.
SQUARE = [(16, 16), (20, 20), (24, 24), (32, 32)]
PICTURES = [
    ("close", 106, SQUARE),
    ("minimize", 110, SQUARE),
    ("maximize", 114, SQUARE),
    ("restore", 118, SQUARE),
    ("logo", 129, [(161, 26), (202, 33), (242, 39), (321, 52)]),
    ("dropdown", 144, [(42, 14), (54, 18), (63, 21), (84, 28)]),
    ("check_on", 153, SQUARE),
    ("check_off", 157, SQUARE),
    ("toggle_unfolded", 161, [(14, 8), (17, 11), (21, 12), (28, 16)]),
    ("toggle_folded", 165, [(14, 8), (17, 11), (21, 12), (28, 16)]),
]
SCALES = [100, 125, 150, 200]
ICON_SIZES = [16, 20, 24, 32, 40, 48, 64, 256]
SLIDE_SIZE = (660, 284)  # the slide-show area of the status panel at 100 %


def font(bold, px):
    name = "DejaVuSans-Bold.ttf" if bold else "DejaVuSans.ttf"
    return ImageFont.truetype(os.path.join(FONT_DIR, name), max(1, int(px)))


def rgba(c, a=255):
    return (c[0], c[1], c[2], a)


def canvas(w, h, bg=(0, 0, 0, 0)):
    img = Image.new("RGBA", (w * SS, h * SS), bg)
    return img, ImageDraw.Draw(img)


def finish(img, w, h):
    return img.resize((w, h), Image.LANCZOS)


def line_width(size):
    # Strokes of about 1.25 px at 100 %, growing with the scale but never thinner than 1 px.
    return max(SS, round(size / 16 * 1.25 * SS))


# ---- caption glyphs ---------------------------------------------------------------------

def draw_close(w, h):
    img, d = canvas(w, h)
    s, lw = w * SS, line_width(w)
    m = s * 0.3
    d.line([(m, m), (s - m, s - m)], fill=rgba(CAPTION_TEXT), width=lw)
    d.line([(m, s - m), (s - m, m)], fill=rgba(CAPTION_TEXT), width=lw)
    return finish(img, w, h)


def draw_minimize(w, h):
    img, d = canvas(w, h)
    s, lw = w * SS, line_width(w)
    y = s * 0.5
    d.line([(s * 0.28, y), (s * 0.72, y)], fill=rgba(CAPTION_TEXT), width=lw)
    return finish(img, w, h)


def draw_maximize(w, h):
    img, d = canvas(w, h)
    s, lw = w * SS, line_width(w)
    d.rectangle([s * 0.28, s * 0.28, s * 0.72, s * 0.72], outline=rgba(CAPTION_TEXT), width=lw)
    return finish(img, w, h)


def draw_restore(w, h):
    img, d = canvas(w, h)
    s, lw = w * SS, line_width(w)
    # Back window: only the parts the front window does not cover.
    d.line([(s * 0.40, s * 0.28), (s * 0.74, s * 0.28)], fill=rgba(CAPTION_TEXT), width=lw)
    d.line([(s * 0.74, s * 0.28), (s * 0.74, s * 0.60)], fill=rgba(CAPTION_TEXT), width=lw)
    d.rectangle([s * 0.26, s * 0.42, s * 0.60, s * 0.74], outline=rgba(CAPTION_TEXT), width=lw)
    return finish(img, w, h)


# ---- product mark -----------------------------------------------------------------------

def draw_mark(d, x, y, size):
    """The product mark: a rounded accent tile holding a white V drawn like a pen stroke
    (a broad left arm and a thinner, longer right arm)."""
    r = size * 0.24
    d.rounded_rectangle([x, y, x + size, y + size], radius=r, fill=rgba(ACCENT))
    # A lighter upper-left half gives the tile some depth; the cut corner stays inside the
    # rounded outline.
    light = tuple((a + b) // 2 for a, b in zip(ACCENT, ACCENT_HOVER))
    d.polygon([(x + r, y), (x + size - r, y), (x, y + size - r), (x, y + r)], fill=rgba(light))
    d.pieslice([x, y, x + 2 * r, y + 2 * r], 180, 270, fill=rgba(light))
    v = [(0.20, 0.25), (0.37, 0.25), (0.52, 0.60), (0.69, 0.19), (0.82, 0.19), (0.57, 0.80),
         (0.45, 0.80)]
    d.polygon([(x + size * a, y + size * b) for a, b in v], fill=rgba(STRONG_TEXT))


def draw_logo(w, h):
    img, d = canvas(w, h)
    W, H = w * SS, h * SS
    mark = H * 0.82
    pad = H * 0.09
    text_h = H * 0.54
    bold, light = font(True, text_h), font(False, text_h * 0.82)
    small = font(False, H * 0.26)
    word, pro, maker = "VARO", "Pro", "PEL SYSTEMS"
    word_w = d.textlength(word, font=bold)
    pro_w = d.textlength(pro, font=light)
    gap = H * 0.22
    # Right-aligned: the panel draws the logo against its top-right corner.
    right = W - H * 0.45
    pro_x = right - pro_w
    word_x = pro_x - H * 0.14 - word_w
    mark_x = word_x - gap - mark
    d.text((word_x, pad + H * 0.02), word, font=bold, fill=rgba(STRONG_TEXT))
    base = pad + H * 0.02 + bold.getbbox(word)[3]
    d.text((pro_x, base - light.getbbox(pro)[3]), pro, font=light, fill=rgba(ACCENT_HOVER))
    draw_mark(d, mark_x, pad, mark)
    # The maker's name in small capitals beneath, under the word mark.
    maker_w = d.textlength(maker, font=small)
    d.text((right - maker_w, H - pad - small.getbbox(maker)[3] + H * 0.04), maker, font=small,
           fill=rgba(LABEL_TEXT, 150))
    return finish(img, w, h)


# ---- combo box arrow, check boxes, settings toggle ---------------------------------------

def chevron(d, cx, cy, half_w, half_h, colour, lw, down=True):
    sign = 1 if down else -1
    pts = [(cx - half_w, cy - sign * half_h), (cx, cy + sign * half_h),
           (cx + half_w, cy - sign * half_h)]
    d.line(pts, fill=colour, width=lw, joint="curve")


def draw_dropdown(w, h):
    """Three square frames: disabled, under the mouse, normal."""
    img, d = canvas(w, h)
    f = h * SS
    lw = line_width(h)
    colours = [rgba(DISABLED), rgba(STRONG_TEXT), rgba(LABEL_TEXT)]
    for i, c in enumerate(colours):
        chevron(d, f * i + f / 2, f / 2, f * 0.24, f * 0.12, c, lw)
    return finish(img, w, h)


def draw_check(w, h, ticked):
    img, d = canvas(w, h)
    s = w * SS
    m, r = s * 0.06, s * 0.2
    if ticked:
        d.rounded_rectangle([m, m, s - m, s - m], radius=r, fill=rgba(ACCENT))
        lw = max(SS, round(s * 0.12))
        d.line([(s * 0.27, s * 0.52), (s * 0.43, s * 0.68), (s * 0.74, s * 0.34)],
               fill=rgba(STRONG_TEXT), width=lw, joint="curve")
    else:
        lw = max(SS, round(s / 16 * 1.1))
        d.rounded_rectangle([m, m, s - m, s - m], radius=r, fill=rgba(FIELD_BG),
                            outline=rgba(DISABLED), width=lw)
    return finish(img, w, h)


def draw_toggle(w, h, folded):
    # Unfolded settings show an up arrow (click folds them away), folded ones a down arrow.
    img, d = canvas(w, h)
    W, H = w * SS, h * SS
    lw = max(SS, round(H / 8 * 1.3))
    chevron(d, W / 2, H / 2, W * 0.36, H * 0.26, rgba(LABEL_TEXT), lw, down=folded)
    return finish(img, w, h)


DRAW = {
    "close": draw_close,
    "minimize": draw_minimize,
    "maximize": draw_maximize,
    "restore": draw_restore,
    "logo": draw_logo,
    "dropdown": draw_dropdown,
    "check_on": lambda w, h: draw_check(w, h, True),
    "check_off": lambda w, h: draw_check(w, h, False),
    "toggle_unfolded": lambda w, h: draw_toggle(w, h, False),
    "toggle_folded": lambda w, h: draw_toggle(w, h, True),
}


def png_name(name, scale):
    return "%s_%d.png" % (name, scale)


def save_png(img, path):
    img = img.convert("RGBA")  # colour type 6 even for pictures that could be paletted
    img.save(path, "PNG", optimize=True)


# ---- icon -------------------------------------------------------------------------------

def draw_icon(size):
    img, d = canvas(size, size)
    s = size * SS
    m = s * (0.06 if size >= 32 else 0.03)
    draw_mark(d, m, m, s - 2 * m)
    return finish(img, size, size)


def save_icon(path):
    images = [draw_icon(n) for n in ICON_SIZES]
    images[-1].save(path, format="ICO", sizes=[(n, n) for n in ICON_SIZES],
                    append_images=images[:-1])


# ---- slide-show pictures ----------------------------------------------------------------

SLIDE_TEXTS = {
    1033: [
        ("Write, sketch and plan in one place", "VARO Pro keeps every note, drawing and task together."),
        ("Work together in real time", "Share a page and see each change the moment it is made."),
        ("Your work on every device", "Pick up on your laptop where you left off on your tablet."),
    ],
    1031: [
        ("Schreiben, skizzieren, planen", "VARO Pro hält Notizen, Zeichnungen und Aufgaben beisammen."),
        ("Gemeinsam in Echtzeit arbeiten", "Seiten teilen und jede Änderung sofort sehen."),
        ("Ihre Arbeit auf jedem Gerät", "Am Laptop weitermachen, wo Sie am Tablet aufgehört haben."),
    ],
}


def slide_background(W, H):
    """A dark vertical gradient from the window colour with a soft accent glow on the right."""
    img = Image.new("RGBA", (W, H), rgba(WINDOW_BG))
    top, bottom = (30, 32, 40), WINDOW_BG
    grad = Image.new("RGBA", (1, H))
    for y in range(H):
        t = y / max(1, H - 1)
        grad.putpixel((0, y), tuple(int(top[i] + (bottom[i] - top[i]) * t) for i in range(3)) + (255,))
    img.paste(grad.resize((W, H)), (0, 0))
    # The glow is a blurred disc used as the alpha of an accent layer.
    mask = Image.new("L", (W, H), 0)
    rad = H * 0.55
    ImageDraw.Draw(mask).ellipse([W * 0.74 - rad, H * 0.5 - rad, W * 0.74 + rad, H * 0.5 + rad],
                                 fill=34)
    mask = mask.filter(ImageFilter.GaussianBlur(H * 0.18))
    glow = Image.new("RGBA", (W, H), rgba(ACCENT))
    glow.putalpha(mask)
    return Image.alpha_composite(img, glow)


def mock_window(d, x, y, w, h, u):
    """A small drawing of the product's window: title bar, side list, page with lines."""
    d.rounded_rectangle([x, y, x + w, y + h], radius=u * 8, fill=rgba(FIELD_BG),
                        outline=rgba(FIELD_BUTTON_BG), width=max(1, int(u)))
    d.rounded_rectangle([x, y, x + w, y + u * 22], radius=u * 8, fill=rgba(FIELD_BUTTON_BG))
    d.rectangle([x, y + u * 14, x + w, y + u * 22], fill=rgba(FIELD_BUTTON_BG))
    for i, c in enumerate([(181, 39, 36), (216, 165, 7), (60, 170, 90)]):
        cx = x + u * (14 + 12 * i)
        d.ellipse([cx - u * 4, y + u * 7, cx + u * 4, y + u * 15], fill=rgba(c))
    side = w * 0.27
    d.rectangle([x + u, y + u * 22, x + side, y + h - u], fill=rgba(WINDOW_BG))
    for i in range(5):
        ly = y + u * (34 + 18 * i)
        colour = ACCENT if i == 1 else TRACK
        d.rounded_rectangle([x + u * 10, ly, x + side - u * 10, ly + u * 8], radius=u * 4,
                            fill=rgba(colour))
    px = x + side + u * 16
    d.rounded_rectangle([px, y + u * 34, px + (w - side) * 0.55, y + u * 46], radius=u * 5,
                        fill=rgba(STRONG_TEXT, 230))
    for i in range(5):
        ly = y + u * (62 + 14 * i)
        lw = (w - side - u * 36) * (0.95 if i % 3 else 0.7)
        d.rounded_rectangle([px, ly, px + lw, ly + u * 6], radius=u * 3, fill=rgba(TRACK))
    # A sketch stroke across the page.
    d.line([(px, y + h - u * 30), (px + u * 40, y + h - u * 48), (px + u * 80, y + h - u * 26),
            (px + u * 130, y + h - u * 44)], fill=rgba(ACCENT_HOVER), width=int(u * 4), joint="curve")


def people(d, cx, cy, u):
    """Three overlapping avatars joined by a live-editing cursor."""
    colours = [ACCENT, (216, 120, 60), (120, 90, 200)]
    for i, c in enumerate(colours):
        x = cx + (i - 1) * u * 46
        d.ellipse([x - u * 30, cy - u * 30, x + u * 30, cy + u * 30], fill=rgba(c),
                  outline=rgba(WINDOW_BG), width=int(u * 4))
        d.ellipse([x - u * 10, cy - u * 18, x + u * 10, cy + u * 2], fill=rgba(STRONG_TEXT, 235))
        d.pieslice([x - u * 20, cy + u * 4, x + u * 20, cy + u * 40], 180, 360,
                   fill=rgba(STRONG_TEXT, 235))
    for i in range(4):
        ly = cy + u * (52 + 14 * i)
        d.rounded_rectangle([cx - u * 90, ly, cx + u * (90 - 30 * (i % 2)), ly + u * 6], radius=u * 3,
                            fill=rgba(TRACK))
    d.rectangle([cx + u * 36, cy + u * 48, cx + u * 39, cy + u * 64], fill=rgba(ACCENT_HOVER))


def devices(d, cx, cy, u):
    """A laptop and a tablet showing the same page."""
    lw = u * 150
    d.rounded_rectangle([cx - lw, cy - u * 70, cx + u * 40, cy + u * 40], radius=u * 6,
                        fill=rgba(FIELD_BG), outline=rgba(FIELD_BUTTON_BG), width=int(u * 3))
    d.polygon([(cx - lw - u * 18, cy + u * 44), (cx + u * 58, cy + u * 44), (cx + u * 46, cy + u * 54),
               (cx - lw - u * 6, cy + u * 54)], fill=rgba(FIELD_BUTTON_BG))
    tx = cx + u * 60
    d.rounded_rectangle([tx, cy - u * 40, tx + u * 80, cy + u * 66], radius=u * 8,
                        fill=rgba(FIELD_BG), outline=rgba(LABEL_TEXT, 160), width=int(u * 3))
    for (x0, x1, y0) in [(cx - lw + u * 12, cx + u * 28, cy - u * 58), (tx + u * 10, tx + u * 70, cy - u * 28)]:
        d.rounded_rectangle([x0, y0, x0 + (x1 - x0) * 0.6, y0 + u * 9], radius=u * 4,
                            fill=rgba(STRONG_TEXT, 230))
        for i in range(4):
            ly = y0 + u * (22 + 13 * i)
            d.rounded_rectangle([x0, ly, x1 - (u * 16 if i % 2 else 0), ly + u * 5], radius=u * 2,
                                fill=rgba(TRACK))
    # Sync arrows between the two.
    d.arc([cx + u * 10, cy - u * 108, cx + u * 110, cy - u * 38], 200, 340, fill=rgba(ACCENT_HOVER),
          width=int(u * 5))
    d.polygon([(cx + u * 100, cy - u * 66), (cx + u * 116, cy - u * 72), (cx + u * 106, cy - u * 56)],
              fill=rgba(ACCENT_HOVER))


def draw_slide(w, h, index, texts):
    W, H = w * 2, h * 2  # slides are large already: 2x supersampling is enough
    u = W / 660.0  # one 100 % pixel in drawing units
    img = slide_background(W, H)
    d = ImageDraw.Draw(img)
    title, line = texts[index]
    tx = u * 40
    heading, body = font(True, u * 25), font(False, u * 13)
    # Titles wrap onto two lines within the left half.
    words, rows, row = title.split(), [], ""
    for word in words:
        trial = (row + " " + word).strip()
        if d.textlength(trial, font=heading) > u * 300 and row:
            rows.append(row)
            row = word
        else:
            row = trial
    rows.append(row)
    y = H / 2 - u * (len(rows) * 32 + 40) / 2
    d.rounded_rectangle([tx, y - u * 18, tx + u * 36, y - u * 12], radius=u * 3, fill=rgba(ACCENT))
    for r in rows:
        d.text((tx, y), r, font=heading, fill=rgba(STRONG_TEXT))
        y += u * 32
    y += u * 8
    words, rows, row = line.split(), [], ""
    for word in words:
        trial = (row + " " + word).strip()
        if d.textlength(trial, font=body) > u * 290 and row:
            rows.append(row)
            row = word
        else:
            row = trial
    rows.append(row)
    for r in rows:
        d.text((tx, y), r, font=body, fill=rgba(LABEL_TEXT))
        y += u * 19
    # Position dots: which slide of three this is.
    for i in range(3):
        cx = tx + u * (5 + 16 * i)
        col = ACCENT if i == index else TRACK
        d.ellipse([cx - u * 4, H - u * 26, cx + u * 4, H - u * 18], fill=rgba(col))
    if index == 0:
        mock_window(d, u * 370, u * 40, u * 250, u * 200, u)
    elif index == 1:
        people(d, u * 500, u * 110, u)
    else:
        devices(d, u * 480, u * 160, u)
    return img.resize((w, h), Image.LANCZOS).convert("RGB")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.join(os.path.dirname(__file__), "..", ".."))
    args = parser.parse_args()
    res = os.path.join(args.root, "res")
    for name, first_id, sizes in PICTURES:
        for scale, (w, h) in zip(SCALES, sizes):
            save_png(DRAW[name](w, h), os.path.join(res, png_name(name, scale)))
    save_icon(os.path.join(res, "PelWebInstaller.ico"))
    for lang, texts in SLIDE_TEXTS.items():
        for scale in SCALES:
            folder = os.path.join(args.root, "sample", "language", str(lang), "slides", str(scale))
            os.makedirs(folder, exist_ok=True)
            w, h = (SLIDE_SIZE[0] * scale // 100, SLIDE_SIZE[1] * scale // 100)
            for i in range(3):
                draw_slide(w, h, i, texts).save(os.path.join(folder, "slide%d.jpg" % (i + 1)),
                                                "JPEG", quality=88, optimize=True, progressive=False)


if __name__ == "__main__":
    main()

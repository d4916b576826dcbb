#!/usr/bin/python3
"""Makes the pictures of Tavrin's windows.

Run from anywhere with Debian's Python 3 and Pillow (python3-pil) and the
DejaVu fonts (fonts-dejavu-core):

    /usr/bin/python3 data/tools/make_pictures.py

It writes

* data/Images/button-<name>.gif and button-<name>-down.gif: the picture
  buttons of the main window, normal and pressed, 128 by 24 pixels, for
  new, edit, sort, run, catalogue, images, internet and local;
* app/windows/resources/: the pictures stored with the windows: the first
  picture of each button, the owl of the main window, the splash picture,
  the About box's icon and the two corner pictures of the catalogue panel.

All of them are one set in amber and yellow on black, drawn from shapes
and text at four times their size and scaled down. Nothing is random, so
two runs give byte-identical files.
"""

from pathlib import Path

from PIL import Image, ImageDraw, ImageFont

REPO = Path(__file__).resolve().parents[2]
IMAGES = REPO / "data" / "Images"
RESOURCES = REPO / "app" / "windows" / "resources"

BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
SCALE = 4  # drawn at four times the size, then scaled down smoothly

BLACK = (0, 0, 0)
NIGHT = (26, 20, 0)
BROWN = (92, 62, 8)
AMBER = (200, 140, 0)
GOLD = (255, 196, 0)
YELLOW = (255, 255, 0)
CREAM = (255, 250, 170)
WHITE = (255, 255, 255)


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def ramp_palette():
    """256 colours from black through amber and yellow to white: every
    picture of the set is made of these, so edges stay smooth in a GIF."""
    stops = [BLACK, BROWN, AMBER, GOLD, YELLOW, CREAM, WHITE]
    colours = []
    for i in range(256):
        t = i / 255 * (len(stops) - 1)
        k = min(int(t), len(stops) - 2)
        colours.append(lerp(stops[k], stops[k + 1], t - k))
    image = Image.new("P", (1, 1))
    image.putpalette([c for rgb in colours for c in rgb])
    return image


PALETTE = ramp_palette()


def to_gif(image):
    return image.convert("RGB").quantize(palette=PALETTE, dither=Image.Dither.NONE)


def font(size):
    return ImageFont.truetype(BOLD, size * SCALE)


def vertical_gradient(size, top, bottom):
    w, h = size
    image = Image.new("RGB", size)
    draw = ImageDraw.Draw(image)
    for y in range(h):
        draw.line([(0, y), (w, y)], fill=lerp(top, bottom, y / max(h - 1, 1)))
    return image


# --------------------------------------------------------------------------
# Button glyphs, drawn in a box of 16 by 16 pixels (times SCALE) at (x, y).

def glyph_new(d, x, y, c):
    s = SCALE
    d.rectangle([x + 7 * s, y + 2 * s, x + 9 * s, y + 14 * s], fill=c)
    d.rectangle([x + 2 * s, y + 7 * s, x + 14 * s, y + 9 * s], fill=c)


def glyph_edit(d, x, y, c):
    s = SCALE
    d.line([(x + 3 * s, y + 13 * s), (x + 12 * s, y + 4 * s)], fill=c, width=3 * s)
    d.polygon([(x + 1 * s, y + 15 * s), (x + 2 * s, y + 11 * s), (x + 5 * s, y + 14 * s)], fill=c)
    d.line([(x + 11 * s, y + 2 * s), (x + 14 * s, y + 5 * s)], fill=c, width=2 * s)


def glyph_sort(d, x, y, c):
    s = SCALE
    d.polygon([(x + 4 * s, y + 1 * s), (x + 8 * s, y + 6 * s), (x + 0 * s, y + 6 * s)], fill=c)
    d.rectangle([x + 3 * s, y + 6 * s, x + 5 * s, y + 14 * s], fill=c)
    d.polygon([(x + 12 * s, y + 15 * s), (x + 16 * s, y + 10 * s), (x + 8 * s, y + 10 * s)], fill=c)
    d.rectangle([x + 11 * s, y + 2 * s, x + 13 * s, y + 10 * s], fill=c)


def glyph_run(d, x, y, c):
    s = SCALE
    d.polygon([(x + 3 * s, y + 1 * s), (x + 15 * s, y + 8 * s), (x + 3 * s, y + 15 * s)], fill=c)


def glyph_catalogue(d, x, y, c):
    s = SCALE
    for row in range(4):
        top = y + (2 + row * 3.5) * s
        d.rectangle([x + 1 * s, top, x + 3 * s, top + 2 * s], fill=c)
        d.rectangle([x + 5 * s, top, x + 15 * s, top + 2 * s], fill=c)


def glyph_images(d, x, y, c):
    s = SCALE
    d.rectangle([x + 1 * s, y + 2 * s, x + 15 * s, y + 14 * s], outline=c, width=2 * s)
    d.polygon([(x + 3 * s, y + 12 * s), (x + 7 * s, y + 6 * s), (x + 10 * s, y + 10 * s),
               (x + 11.5 * s, y + 8.5 * s), (x + 13 * s, y + 12 * s)], fill=c)
    d.ellipse([x + 10 * s, y + 4 * s, x + 13 * s, y + 7 * s], fill=c)


def glyph_internet(d, x, y, c):
    s = SCALE
    box = [x + 1 * s, y + 1 * s, x + 15 * s, y + 15 * s]
    d.ellipse(box, outline=c, width=2 * s)
    d.ellipse([x + 5 * s, y + 1 * s, x + 11 * s, y + 15 * s], outline=c, width=round(1.5 * s))
    d.line([(x + 1 * s, y + 8 * s), (x + 15 * s, y + 8 * s)], fill=c, width=round(1.5 * s))


def glyph_local(d, x, y, c):
    # A floppy disc: the user's own collection.
    s = SCALE
    hole = GOLD if c == BLACK else BLACK  # the face of the button shows through
    d.polygon([(x + 1 * s, y + 1 * s), (x + 12 * s, y + 1 * s), (x + 15 * s, y + 4 * s),
               (x + 15 * s, y + 15 * s), (x + 1 * s, y + 15 * s)], fill=c)
    d.rectangle([x + 4 * s, y + 1 * s, x + 11 * s, y + 6 * s], fill=hole)
    d.rectangle([x + 8 * s, y + 2 * s, x + 10 * s, y + 5 * s], fill=c)
    d.rectangle([x + 3 * s, y + 9 * s, x + 13 * s, y + 15 * s], fill=hole)


BUTTONS = [
    ("new", "New", glyph_new),
    ("edit", "Edit", glyph_edit),
    ("sort", "Sort", glyph_sort),
    ("run", "Run", glyph_run),
    ("catalogue", "Catalogue", glyph_catalogue),
    ("images", "Images", glyph_images),
    ("internet", "Internet", glyph_internet),
    ("local", "Local", glyph_local),
]


def button(caption, glyph, pressed):
    w, h = 128 * SCALE, 24 * SCALE
    s = SCALE
    radius = 6 * s
    if pressed:
        face = vertical_gradient((w, h), YELLOW, AMBER)
        ink, rim = BLACK, CREAM
    else:
        face = vertical_gradient((w, h), (54, 40, 0), BLACK)
        ink, rim = YELLOW, GOLD
    mask = Image.new("L", (w, h), 0)
    ImageDraw.Draw(mask).rounded_rectangle([0, 0, w - 1, h - 1], radius=radius, fill=255)
    image = Image.new("RGB", (w, h), BLACK)
    image.paste(face, (0, 0), mask)
    d = ImageDraw.Draw(image)
    d.rounded_rectangle([s // 2, s // 2, w - 1 - s // 2, h - 1 - s // 2], radius=radius,
                        outline=rim, width=s)
    # A pressed button moves its face one pixel down and to the right.
    shift = s if pressed else 0
    glyph(d, 8 * s + shift, 4 * s + shift, ink)
    f = font(12)
    left, top, right, bottom = d.textbbox((0, 0), caption, font=f)
    text_x = 30 * s + (88 * s - (right - left)) // 2 - left + shift
    text_y = (h - (bottom - top)) // 2 - top + shift
    d.text((text_x, text_y), caption, font=f, fill=ink)
    return image.resize((128, 24), Image.Resampling.LANCZOS)


# --------------------------------------------------------------------------
# The owl: the program's mascot, at the bottom right of the main window, on
# the splash window and, as a head alone, in the About box.

def draw_owl(size, halo=False, head_only=False):
    s = size / 128.0 * SCALE
    w = h = round(size * SCALE)
    image = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    d = ImageDraw.Draw(image)

    def box(x0, y0, x1, y1):
        return [x0 * s, y0 * s, x1 * s, y1 * s]

    if halo:
        d.ellipse(box(2, 2, 126, 126), fill=BLACK + (255,), outline=GOLD + (255,),
                  width=round(4 * s))
        d.ellipse(box(12, 12, 116, 116), outline=BROWN + (255,), width=round(2 * s))
    if head_only:
        d.rounded_rectangle(box(0, 0, 128, 128), radius=24 * s, fill=BLACK + (255,),
                            outline=GOLD + (255,), width=round(6 * s))
        top = 10
    else:
        top = 0
        # Branch and feet.
        d.rounded_rectangle(box(14, 106, 114, 114), radius=4 * s, fill=BROWN + (255,))
        for fx in (46, 74):
            for toe in (-5, 0, 5):
                d.line([(fx * s, 100 * s), ((fx + toe) * s, 110 * s)], fill=GOLD + (255,),
                       width=round(3 * s))
        # Body with a pale belly and a few feather marks.
        d.ellipse(box(28, 40, 100, 108), fill=AMBER + (255,))
        d.ellipse(box(40, 56, 88, 104), fill=CREAM + (255,))
        for row, y in enumerate((66, 76, 86)):
            for k in range(3 - (row == 2)):
                x = 50 + k * 10 + (5 if row % 2 else 0)
                d.arc(box(x, y, x + 8, y + 8), 20, 160, fill=BROWN + (255,), width=round(2 * s))
        # Wings.
        d.chord(box(20, 50, 44, 102), 90, 270, fill=BROWN + (255,))
        d.chord(box(84, 50, 108, 102), 270, 90, fill=BROWN + (255,))
    # Head with ear tufts.
    y0 = top
    d.polygon([(30 * s, (y0 + 30) * s), (26 * s, (y0 + 4) * s), (50 * s, (y0 + 20) * s)],
              fill=AMBER + (255,))
    d.polygon([(98 * s, (y0 + 30) * s), (102 * s, (y0 + 4) * s), (78 * s, (y0 + 20) * s)],
              fill=AMBER + (255,))
    d.ellipse(box(26, y0 + 12, 102, y0 + 68), fill=AMBER + (255,))
    # The facial disc and the eyes.
    for cx in (48, 80):
        d.ellipse(box(cx - 17, y0 + 22, cx + 17, y0 + 56), fill=GOLD + (255,))
        d.ellipse(box(cx - 12, y0 + 27, cx + 12, y0 + 51), fill=YELLOW + (255,))
        d.ellipse(box(cx - 7, y0 + 32, cx + 7, y0 + 46), fill=BLACK + (255,))
        d.ellipse(box(cx - 4, y0 + 34, cx + 0, y0 + 38), fill=WHITE + (255,))
    d.polygon([(58 * s, (y0 + 52) * s), (70 * s, (y0 + 52) * s), (64 * s, (y0 + 64) * s)],
              fill=BROWN + (255,))
    return image.resize((size, size), Image.Resampling.LANCZOS)


def corner_outer():
    # A bracket in the panel's top left corner (25 by 17 pixels).
    w, h = 25 * SCALE, 17 * SCALE
    image = Image.new("RGB", (w, h), BLACK)
    d = ImageDraw.Draw(image)
    d.rectangle([0, 0, w, 3 * SCALE], fill=GOLD)
    d.rectangle([0, 0, 3 * SCALE, h], fill=GOLD)
    d.rectangle([6 * SCALE, 6 * SCALE, 9 * SCALE, 9 * SCALE], fill=YELLOW)
    return image.resize((25, 17), Image.Resampling.LANCZOS)


def corner_inner():
    # A fine line that leads from the bracket into the panel (25 by 9).
    w, h = 25 * SCALE, 9 * SCALE
    image = Image.new("RGB", (w, h), BLACK)
    d = ImageDraw.Draw(image)
    d.rectangle([0, 3 * SCALE, w, 5 * SCALE], fill=AMBER)
    d.ellipse([18 * SCALE, 1 * SCALE, 25 * SCALE - 1, 8 * SCALE], fill=YELLOW)
    return image.resize((25, 9), Image.Resampling.LANCZOS)


def save(image, path):
    path.parent.mkdir(parents=True, exist_ok=True)
    if path.suffix == ".gif":
        to_gif(image).save(path, optimize=False)
    else:
        image.save(path, optimize=False)
    print(path.relative_to(REPO))


def main():
    first = {"new", "edit", "sort", "run", "catalogue", "internet"}
    for name, caption, glyph in BUTTONS:
        normal = button(caption, glyph, pressed=False)
        save(normal, IMAGES / f"button-{name}.gif")
        save(button(caption, glyph, pressed=True), IMAGES / f"button-{name}-down.gif")
        if name in first:
            save(normal, RESOURCES / f"button-{name}.gif")
    save(draw_owl(128), RESOURCES / "owl.png")
    save(draw_owl(128, halo=True), RESOURCES / "splash.png")
    save(draw_owl(32, head_only=True), RESOURCES / "about-icon.png")
    save(corner_outer(), RESOURCES / "corner-outer.gif")
    save(corner_inner(), RESOURCES / "corner-inner.gif")


if __name__ == "__main__":
    main()

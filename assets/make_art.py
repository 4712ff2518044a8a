#!/usr/bin/env python3
"""Draws Varnello's pictures, icons and cursor into this folder, once for
each density the program carries: 100 % (96 pixels per inch), 125 %, 150 %
and 200 %. Every scale comes from the same drawing code, with coordinates,
line widths and font sizes multiplied out, so that the larger art is as
sharp as the smaller.

Needs Debian's python3-pil, fonts-dejavu-core and fonts-wqy-zenhei. The
files it writes are committed, so a build never runs this; run it again
after changing the art (all scales at once):  /usr/bin/python3 assets/make_art.py

At 100 %:

  p1_program.ico     program and window icon: 48, 32, 16 px, each in 16
                     colours, 256 colours and 32-bit colour
  p2_background.gif  475 x 369 frame art of the window
  p3_progress.jpg    443 x 171 results panel with 检测中…… on it
  p4_banner.bmp      280 x 68 banner, 24-bit
  p5_button.bmp      82 x 29 face of the start button, 24-bit
  p6_monitor.ico     16 x 16 monitor, 256 colours
  p7_panel.bmp       443 x 171 blank results panel, 24-bit
  p8_button.gif      88 x 28 dark button
  p9_button.gif      88 x 24 dark button, lower
  p10_box.bmp        127 x 26 white box, 256 colours
  hand.cur           32 x 32 two-colour pointing hand, hot spot 0, 0

At 125, 150 and 200 % the same stems with _125, _150 or _200 added (for
example p4_banner_150.gif, p1_program_200.ico, hand_125.cur), each picture
as large as its control at that density (the 100 % size times the scale,
rounded), the icons 48, 32 and 16 px times the scale and the cursor 32 px
times the scale. To keep the program small, the pictures there are all
GIFs: their colours exactly, or the 256 nearest where the art has more (the
banner's and the progress picture's lettering; no colour then moves by
more than 2 steps), which is both smaller and sharper than a JPEG or a
24-bit BMP would be. The icons hold each size once, in as few bits per
pixel as hold their colours exactly (16 colours of their own).
"""
import math
import os
import struct

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
SANS_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
CJK = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"

WHITE = (255, 255, 255)
PALE_BLUE = (241, 247, 254)      # the window's panel
HEADER_TOP = (226, 239, 252)     # header gradient, top
LIGHT_BLUE = (150, 192, 234)     # borders and rules
FOOTER = (232, 241, 251)
BANNER_BLUE = (28, 92, 190)
PCB_GREEN = (34, 139, 70)
PCB_DARK = (20, 96, 48)
GOLD = (214, 170, 60)
CHIP = (40, 40, 46)


SCALES = (100, 125, 150, 200)


def out(name):
    return os.path.join(HERE, name)


class Scale:
    """Coordinates of the 100 % drawing carried over to `percent`."""

    def __init__(self, percent):
        self.percent = percent
        self.f = percent / 100

    def __call__(self, v):
        """A position or length, to the nearest pixel."""
        return math.floor(v * self.f + 0.5)

    def line(self, width=1):
        return max(1, self(width))

    def box(self, x0, y0, x1, y1):
        """The pixels that the inclusive box x0..x1, y0..y1 covers."""
        return [self(x0), self(y0), self(x1 + 1) - 1, self(y1 + 1) - 1]

    def stroke(self, x0, y0, x1, y1):
        """A one-pixel horizontal or vertical line, as thick as the scale."""
        w = self.line()
        if y0 == y1:
            return [self(x0), self(y0), self(x1 + 1) - 1, self(y0) + w - 1]
        return [self(x0), self(y0), self(x0) + w - 1, self(y1 + 1) - 1]

    def name(self, file):
        if self.percent == 100:
            return file
        stem, ext = os.path.splitext(file)
        return f"{stem}_{self.percent}{ext}"


ONE = Scale(100)


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def vertical_gradient(draw, box, top, bottom):
    x0, y0, x1, y1 = box
    for y in range(y0, y1 + 1):
        t = (y - y0) / max(1, y1 - y0)
        draw.line([(x0, y), (x1, y)], fill=lerp(top, bottom, t))


def memory_module(draw, x, y, w, h, s=ONE):
    """A memory module seen from the front: board, chips, gold contacts."""
    draw.rectangle(s.box(x, y, x + w - 1, y + h - 1), fill=PCB_GREEN, outline=PCB_DARK, width=s.line())
    chips = max(1, w // 10)
    cw = max(2, w // (chips * 2))
    for i in range(chips):
        cx = x + 2 + i * (w - 4) // chips
        draw.rectangle(s.box(cx, y + 2, cx + cw, y + max(3, h // 2)), fill=CHIP)
    for cx in range(x + 2, x + w - 2, 3):
        draw.rectangle(s.stroke(cx, y + h - max(2, h // 5), cx, y + h - 2), fill=GOLD)
    # the notch
    nx = x + w * 2 // 5
    draw.rectangle(s.box(nx, y + h - max(2, h // 5), nx + 1, y + h - 1), fill=PALE_BLUE)


# --- icons and cursors ------------------------------------------------------

VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def and_mask(img):
    """1 bit per pixel, bottom-up, rows padded to 32 bits: 1 = transparent."""
    w, h = img.size
    stride = ((w + 31) // 32) * 4
    data = bytearray()
    alpha = img.getchannel("A")
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if alpha.getpixel((x, y)) < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        data += row
    return bytes(data)


def exact_bits(img):
    """The fewest bits per pixel (4, 8 or 32) whose colour table holds every
    colour of `img` as it is; transparent pixels count as black."""
    solid = Image.new("RGB", img.size, (0, 0, 0))
    solid.paste(img, mask=img.getchannel("A"))
    colours = solid.getcolors(256)
    if colours is None or any(0 < a < 255 for a in img.getchannel("A").getdata()):
        return 32
    return 4 if len(colours) <= 16 else 8


def dib(img, bits, exact=False):
    """The XOR image and mask of one icon entry, as the ICO format stores it.
    With `exact`, the colour table is the image's own colours rather than
    the standard 16 or the 256 nearest."""
    w, h = img.size
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, bits, 0, 0, 0, 0, 0, 0)
    if bits == 32:
        pixels = bytearray()
        for y in range(h - 1, -1, -1):
            for x in range(w):
                r, g, b, a = img.getpixel((x, y))
                pixels += bytes((b, g, r, a))
        return header + bytes(pixels) + and_mask(img)
    colours = 1 << bits
    solid = Image.new("RGB", img.size, (0, 0, 0))
    solid.paste(img, mask=img.getchannel("A"))
    if exact:
        palette = [rgb for _, rgb in solid.getcolors(colours)]
        palette += [(0, 0, 0)] * (colours - len(palette))
        index = {rgb: i for i, rgb in enumerate(palette)}
        indexed = Image.new("P", img.size)
        indexed.putdata([index[rgb] for rgb in solid.getdata()])
    elif bits == 4:
        pal = Image.new("P", (1, 1))
        pal.putpalette([c for rgb in VGA16 for c in rgb] + [0] * (768 - 48))
        indexed = solid.quantize(palette=pal, dither=Image.Dither.NONE)
        palette = VGA16
    else:
        indexed = solid.quantize(colors=colours, dither=Image.Dither.NONE)
        flat = indexed.getpalette()[: colours * 3]
        flat += [0] * (colours * 3 - len(flat))
        palette = [tuple(flat[i:i + 3]) for i in range(0, colours * 3, 3)]
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette[:colours])
    stride = ((w * bits + 31) // 32) * 4
    pixels = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            i = indexed.getpixel((x, y))
            if bits == 8:
                row[x] = i
            else:
                row[x // 2] |= (i & 15) << (4 if x % 2 == 0 else 0)
        pixels += row
    return header + table + bytes(pixels) + and_mask(img)


def write_icon_file(path, entries, kind=1, hotspot=(0, 0), exact=False):
    """entries: (image, bits); kind 1 writes an icon, kind 2 a cursor."""
    blobs = [dib(img, bits, exact) if bits else mono_dib(img) for img, bits in entries]
    data = struct.pack("<HHH", 0, kind, len(entries))
    offset = 6 + 16 * len(entries)
    for (img, bits), blob in zip(entries, blobs):
        w, h = img.size
        colours = {4: 16, 0: 2}.get(bits, 0)
        # icons give planes and bit count here, cursors the hot spot
        first, second = (1, bits) if kind == 1 else hotspot
        data += struct.pack("<BBBBHHII", w % 256, h % 256, colours, 0, first, second, len(blob), offset)
        offset += len(blob)
    data += b"".join(blobs)
    with open(path, "wb") as f:
        f.write(data)


def mono_dib(img):
    """A two-colour cursor image: white where opaque and light, black where
    opaque and dark, transparent elsewhere."""
    w, h = img.size
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    table = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    stride = ((w + 31) // 32) * 4
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            r, g, b, a = img.getpixel((x, y))
            if a >= 128 and r > 128:
                row[x // 8] |= 0x80 >> (x % 8)
        xor += row
    return header + table + bytes(xor) + and_mask(img)


def program_icon(size):
    """Green memory modules, stacked at a slant."""
    img = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    s = size / 48
    for i in range(3):
        x, y = round((4 + i * 5) * s), round((8 + i * 11) * s)
        w, h = round(36 * s), max(4, round(14 * s))
        d.rectangle([x, y, x + w - 1, y + h - 1], fill=PCB_GREEN + (255,), outline=PCB_DARK + (255,))
        for k in range(3 if size >= 32 else 2):
            cx = x + round((3 + k * 11) * s)
            d.rectangle([cx, y + max(1, round(2 * s)), cx + max(2, round(7 * s)), y + max(2, round(7 * s))],
                        fill=CHIP + (255,))
        for cx in range(x + 1, x + w - 1, max(2, round(3 * s))):
            d.line([(cx, y + h - max(1, round(3 * s))), (cx, y + h - 2)], fill=GOLD + (255,))
    return img


def monitor_icon(s=ONE):
    img = Image.new("RGBA", (s(16), s(16)), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    d.rectangle(s.box(1, 1, 14, 11), fill=(70, 70, 80, 255))
    d.rectangle(s.box(2, 2, 13, 10), fill=(70, 150, 230, 255))
    d.rectangle(s.stroke(3, 3, 6, 3), fill=(190, 225, 255, 255))
    d.rectangle(s.box(6, 12, 9, 13), fill=(110, 110, 120, 255))
    d.rectangle(s.box(3, 14, 12, 14), fill=(70, 70, 80, 255))
    return img


def hand_cursor(s=ONE):
    """A white pointing hand with a black outline, finger tip at 0, 0."""
    img = Image.new("RGBA", (s(32), s(32)), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    black, white = (0, 0, 0, 255), (255, 255, 255, 255)
    shape = [
        # index finger, then the fist below and to the right of it
        (0, 0), (4, 0), (5, 1), (5, 9), (7, 8), (9, 8), (10, 9), (12, 8), (14, 8), (15, 9),
        (17, 9), (19, 10), (19, 19), (17, 23), (17, 26), (5, 26), (5, 23), (1, 18), (0, 14),
    ]
    d.polygon([(s(x), s(y)) for x, y in shape], fill=white, outline=black, width=s.line())
    for x in (5, 10, 15):
        d.rectangle(s.stroke(x, 10, x, 14), fill=black)
    d.rectangle(s.stroke(1, 0, 3, 0), fill=black)
    return img


# --- pictures ---------------------------------------------------------------

def background(s=ONE):
    img = Image.new("RGB", (s(475), s(369)), WHITE)
    d = ImageDraw.Draw(img)
    d.rectangle(s.box(4, 5, 472, 367), fill=PALE_BLUE)
    vertical_gradient(d, s.box(5, 6, 471, 104), HEADER_TOP, PALE_BLUE)
    d.rectangle(s.box(5, 346, 471, 366), fill=FOOTER)
    d.rectangle(s.box(4, 5, 472, 367), outline=LIGHT_BLUE, width=s.line())
    d.rectangle(s.stroke(4, 105, 472, 105), fill=LIGHT_BLUE)
    d.rectangle(s.stroke(4, 345, 472, 345), fill=LIGHT_BLUE)
    return img


def panel(s=ONE):
    size = (s(443), s(171))
    img = Image.new("RGB", size, PALE_BLUE)
    d = ImageDraw.Draw(img)
    inner = Image.new("RGB", size, WHITE)
    vertical_gradient(ImageDraw.Draw(inner), (0, 0, size[0] - 1, size[1] - 1), WHITE, (234, 246, 234))
    mask = Image.new("L", size, 0)
    ImageDraw.Draw(mask).rounded_rectangle([0, 0, size[0] - 1, size[1] - 1], radius=s(8), fill=255)
    img.paste(inner, mask=mask)
    d.rounded_rectangle([0, 0, size[0] - 1, size[1] - 1], radius=s(8), outline=(150, 178, 150), width=s.line())
    return img


def progress(s=ONE):
    img = panel(s)
    font = ImageFont.truetype(CJK, s(28))
    text = "检测中……"
    layer = Image.new("L", (s(300), s(60)), 0)
    ImageDraw.Draw(layer).text((s(20), s(10)), text, font=font, fill=255, stroke_width=s.line(), stroke_fill=255)
    # slant it into italics
    layer = layer.transform(layer.size, Image.AFFINE, (1, 0.22, -8 * s.f, 0, 1, 0), resample=Image.BICUBIC)
    box = layer.getbbox()
    layer = layer.crop(box)
    x = (img.width - layer.width) // 2
    y = (img.height - layer.height) // 2
    img.paste((0, 0, 0), (x, y), layer)
    return img


def banner(s=ONE):
    img = Image.new("RGB", (s(280), s(68)), WHITE)
    d = ImageDraw.Draw(img)
    vertical_gradient(d, (0, 0, img.width - 1, img.height - 1),
                      lerp(HEADER_TOP, PALE_BLUE, 8 / 98), lerp(HEADER_TOP, PALE_BLUE, 75 / 98))
    for i in range(3):
        memory_module(d, 6 + i * 6, 10 + i * 16, 58, 14, s)
    font = ImageFont.truetype(SANS_BOLD, s(38))
    d.text((s(86), s(12)), "Varnello", font=font, fill=BANNER_BLUE)
    return img


def start_button(s=ONE):
    img = Image.new("RGB", (s(82), s(29)), PALE_BLUE)
    d = ImageDraw.Draw(img)
    d.rounded_rectangle([0, 0, img.width - 1, img.height - 1], radius=s(6), fill=(224, 224, 224),
                       outline=(90, 90, 90), width=s.line())
    d.rectangle(s.stroke(5, 2, 76, 2), fill=(244, 244, 244))
    return img


def dark_button(h, s=ONE):
    size = (s(88), s(h))
    img = Image.new("RGB", size, PALE_BLUE)
    face = Image.new("RGB", size)
    vertical_gradient(ImageDraw.Draw(face), (0, 0, size[0] - 1, size[1] - 1), (92, 110, 150), (44, 58, 92))
    mask = Image.new("L", size, 0)
    ImageDraw.Draw(mask).rounded_rectangle([0, 0, size[0] - 1, size[1] - 1], radius=s(5), fill=255)
    img.paste(face, mask=mask)
    return img


def white_box(s=ONE):
    img = Image.new("RGB", (s(127), s(26)), WHITE)
    ImageDraw.Draw(img).rectangle([0, 0, img.width - 1, img.height - 1], outline=LIGHT_BLUE, width=s.line())
    return img


def as_gif(img):
    """A palette image for GIF: the picture's own colours where they are 256
    or fewer, otherwise the 256 nearest."""
    colours = img.getcolors(256)
    if colours is None:
        return img.quantize(colors=256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    palette = [rgb for _, rgb in colours]
    index = {rgb: i for i, rgb in enumerate(palette)}
    indexed = Image.new("P", img.size)
    indexed.putpalette([c for rgb in palette for c in rgb])
    indexed.putdata([index[rgb] for rgb in img.getdata()])
    return indexed


def write_100():
    """The 100 % files, in the formats the window was designed with."""
    entries = []
    for size in (48, 32, 16):
        img = program_icon(size)
        entries += [(img, 4), (img, 8), (img, 32)]
    write_icon_file(out("p1_program.ico"), entries)
    write_icon_file(out("p6_monitor.ico"), [(monitor_icon(), 8)])
    write_icon_file(out("hand.cur"), [(hand_cursor(), 0)], kind=2, hotspot=(0, 0))

    background().convert("P", palette=Image.ADAPTIVE, colors=256).save(out("p2_background.gif"))
    progress().save(out("p3_progress.jpg"), quality=92)
    banner().save(out("p4_banner.bmp"))
    start_button().save(out("p5_button.bmp"))
    panel().save(out("p7_panel.bmp"))
    dark_button(28).convert("P", palette=Image.ADAPTIVE).save(out("p8_button.gif"))
    dark_button(24).convert("P", palette=Image.ADAPTIVE).save(out("p9_button.gif"))
    white_box().convert("P", palette=Image.ADAPTIVE, colors=256).save(out("p10_box.bmp"))


def write_scaled(s):
    """The same pictures at a larger scale, in formats chosen for size."""
    icons = [program_icon(s(size)) for size in (48, 32, 16)]
    write_icon_file(out(s.name("p1_program.ico")), [(img, exact_bits(img)) for img in icons], exact=True)
    monitor = monitor_icon(s)
    write_icon_file(out(s.name("p6_monitor.ico")), [(monitor, exact_bits(monitor))], exact=True)
    write_icon_file(out(s.name("hand.cur")), [(hand_cursor(s), 0)], kind=2, hotspot=(0, 0))

    for name, img in (("p2_background.gif", background(s)), ("p3_progress.gif", progress(s)),
                      ("p4_banner.gif", banner(s)),
                      ("p5_button.gif", start_button(s)), ("p7_panel.gif", panel(s)),
                      ("p8_button.gif", dark_button(28, s)), ("p9_button.gif", dark_button(24, s)),
                      ("p10_box.gif", white_box(s))):
        as_gif(img).save(out(s.name(name)))


def main():
    write_100()
    for percent in SCALES[1:]:
        write_scaled(Scale(percent))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""The window at 96, 120, 144 and 192 pixels per inch (Wine's LogPixels), in
one Wine prefix of its own whose density is changed between the runs: its
client area, the art drawn for the scale (pixel for pixel, within a small
tolerance: stretched art is blurred), the texts in their scaled places,
wrapped and cut off within their labels, and the bare edge strips white.
At 96 the window is then moved to 144 as between monitors and must be as
at 144 from the start. Screenshots: dpi96.png ... dpi192.png, dpi96-to-144.png.

usage: dpi_test.py PROBE_BUILD_EXE PROBE_CLIENT_EXE SETUP_SCRIPT SCREENSHOT_DIR [DPI,...]
"""
import math
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import WINE, WINESERVER, Desktop  # noqa: E402
import pixels  # noqa: E402
from pixels import count, region  # noqa: E402

exe, client_exe, setup, shots = sys.argv[1:5]
densities = [int(d) for d in sys.argv[5].split(",")] if len(sys.argv) > 5 else [96, 120, 144, 192]
os.makedirs(shots, exist_ok=True)
check = pixels.Checks()
# Beside the tests' own prefix, never in it: the density is changed here.
prefix = os.environ.get("VARNELLO_WINEPREFIX_DPI",
                        os.environ.get("WINEPREFIX", os.path.expanduser("~/.wine-varnello")) + "-dpi")

env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all")
subprocess.run([setup], env=env, check=True, timeout=600, stdout=subprocess.DEVNULL)

# Controls in twips: left, top, width, height.
IMAGE1 = (0, 0, 7125, 5535)
IMAGE5 = (1680, 120, 4200, 1020)
FRAME2_TOP = 1080
IMAGE2 = (240, 2040, 6645, 2565)
IMAGE12 = (5640, 4680, 1230, 435)
JIANCE = (5640, 4800, 1215, 255)
FRAME1 = (360, 2160, 6255, 2295)
IMAGE8_IN_FRAME1 = (-360, -120)


def set_density(dpi):
    for key in (r"HKCU\Control Panel\Desktop", r"HKCC\Software\Fonts"):
        subprocess.run([WINE, "reg", "add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f"],
                       env=env, timeout=120, capture_output=True)
    subprocess.run([WINESERVER, "-w"], env=env, timeout=120)


def run(dpi):
    set_density(dpi)
    # Room for the window at 200 %, clear of the welcome balloon at the
    # notification area, also at 150 % after a change from 100 %.
    with Desktop(f"dpi{dpi}", prefix=prefix, size=(1600, 1000)) as d:
        d.start(exe, client_exe)
        # In a prefix just restarted with another density, a probe sent
        # while the desktop is still starting hangs for its whole timeout;
        # a moment's wait first saves most of it.
        time.sleep(3)
        if not check_window(d, dpi, f"{dpi} dpi: ", f"dpi{dpi}"):
            return
        if dpi == 96:
            # As on a move to a monitor of another density.
            check.that("probe moves the window to 144 dpi", d.probe("dpi", "144"))
            check_window(d, 144, "96 -> 144 dpi: ", "dpi96-to-144")


def check_window(d, dpi, name, shot):
    """The window as it must be at `dpi`; False when it does not answer."""
    def px(twips):
        return math.floor(twips * dpi / 1440 + 0.5)

    def rect(c):  # edges rounded, as the window does
        return px(c[0]), px(c[1]), px(c[0] + c[2]) - px(c[0]), px(c[1] + c[3]) - px(c[1])

    def scaled(v):  # a length of the 96-DPI design
        return math.floor(v * dpi / 96 + 0.5)

    state = d.dump(120)
    check.that(name + "window answers", state is not None)
    if state is None:
        return False
    check.equal(name + "density", state["dpi"], dpi)
    cx, cy, right, bottom = state["client"]
    check.equal(name + "client area 7155 x 5595 twips", (right - cx, bottom - cy), (px(7155), px(5595)))
    if (right - cx, bottom - cy) != (px(7155), px(5595)):
        return True  # the window is not laid out for this density: nothing more to compare
    long_text = "Intel(R) Core(TM) i7-8700K CPU @ 3.70GHz " * 3
    check.that(name + "probe sets cpuz", d.probe("caption", "cpuz", long_text))
    time.sleep(1)
    img = pixels.load(d.screenshot(os.path.join(shots, f"{shot}.png")))

    def at(left, top, width, height):  # in the 96-DPI design's pixels
        return region(img, cx + scaled(left), cy + scaled(top), scaled(width), scaled(height))

    def control(c, rows=None):
        x, y, w, h = rect(c)
        return region(img, cx + x, cy + y, w, rows if rows is not None else h)

    # The pictures, as drawn for this scale.
    background = pixels.art("p2_background.gif", dpi)
    check.equal(name + "background is the art drawn for it",
                pixels.differing(at(0, 0, 110, 70), background.crop((0, 0, scaled(110), scaled(70))), 8), 0)
    banner = pixels.art("p4_banner.bmp", dpi)
    rows = px(FRAME2_TOP) - px(IMAGE5[1])  # below, the announcement strip lies over it
    check.equal(name + "banner is the art drawn for it",
                pixels.differing(control(IMAGE5, rows), banner.crop((0, 0, banner.width, rows)), 8), 0)
    panel = pixels.art("p7_panel.bmp", dpi)
    x, y, w, h = rect(IMAGE2)
    top, bottom_row = scaled(2), scaled(30)  # above the first captions
    check.equal(name + "results panel is the art drawn for it",
                pixels.differing(region(img, cx + x, cy + y + top, w, bottom_row - top),
                                 panel.crop((0, top, w, bottom_row)), 8), 0)
    face = pixels.art("p5_button.bmp", dpi)
    rows = px(JIANCE[1]) - px(IMAGE12[1])  # above the start label
    check.equal(name + "button face is the art drawn for it",
                pixels.differing(control(IMAGE12, rows), face.crop((0, 0, face.width, rows)), 8), 0)

    # The texts in their scaled places.
    check.that(name + "Label5 red in its scaled place", count(at(56, 120, 65, 17), pixels.red) > 30)
    check.that(name + "jiance dark grey in its scaled place", count(at(376, 320, 81, 17), pixels.dark_grey) > 30)
    check.that(name + "cpuz wraps within its scaled label",
               count(at(64, 200, 185, 16), pixels.blue) > 40 and count(at(64, 216, 185, 16), pixels.blue) > 40)
    check.equal(name + "nothing of cpuz below its label", count(at(64, 234, 185, 12), pixels.blue), 0)
    check.equal(name + "nothing of cpuz right of its label", count(at(250, 200, 13, 33), pixels.blue), 0)
    iw, ih = rect(IMAGE1)[2:]
    strips = [region(img, cx + iw, cy, right - cx - iw, bottom - cy),
              region(img, cx, cy + ih, right - cx, bottom - cy - ih)]
    check.that(name + "bare strips at the right and bottom edges", min(r.width * r.height for r in strips) > 0)
    check.equal(name + "bare strips white", sum(count(r, lambda p: not pixels.white(p)) for r in strips), 0)

    # The progress picture in its frame.
    check.that(name + "probe shows Frame1", d.probe("frame1", "1"))
    time.sleep(0.5)
    img = pixels.load(d.screenshot(os.path.join(shots, f"{shot}-progress.png")))
    fx, fy, fw, fh = rect(FRAME1)
    ox, oy = -px(IMAGE8_IN_FRAME1[0]), -px(IMAGE8_IN_FRAME1[1])
    progress = pixels.art("p3_progress.jpg", dpi)
    check.equal(name + "progress picture is the art drawn for it",
                pixels.differing(region(img, cx + fx, cy + fy, fw, fh),
                                 progress.crop((ox, oy, ox + fw, oy + fh)), 8), 0)
    check.that(name + "probe hides Frame1", d.probe("frame1", "0"))
    return True


for dpi in densities:
    run(dpi)
check.finish("densities " + ", ".join(map(str, densities)))

#!/usr/bin/env python3
"""The window at 120 pixels per inch, in a Wine prefix of its own: the layout
scales (client area 596 x 466, the art and the texts in their scaled places,
and where a screen reader is told they are),
and the pointer moving along the bare bottom strip, which there reaches the
columns that spell 513 and 516, neither restores nor opens the popup menu.

usage: dpi_test.py PROBE_BUILD_EXE PROBE_CLIENT_EXE SETUP_SCRIPT SCREENSHOT_DIR
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import WINE, WINESERVER, Desktop  # noqa: E402
import pixels  # noqa: E402
from pixels import count, region  # noqa: E402

exe, client_exe, setup, shots = sys.argv[1:5]
os.makedirs(shots, exist_ok=True)
check = pixels.Checks()
prefix = os.environ.get("VARNELLO_WINEPREFIX_120", os.path.expanduser("~/.wine-varnello-120"))

env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all")
subprocess.run([setup], env=env, check=True, timeout=600, stdout=subprocess.DEVNULL)
for key in (r"HKCU\Control Panel\Desktop", r"HKCC\Software\Fonts"):
    subprocess.run([WINE, "reg", "add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "120", "/f"],
                   env=env, timeout=120, capture_output=True)
subprocess.run([WINESERVER, "-w"], env=env, timeout=120)


def scaled(v):
    return (v * 120 * 2 + 96) // (96 * 2)  # nearest pixel


with Desktop("dpi120", prefix=prefix) as d:
    d.start(exe, client_exe)
    state = d.dump(120)
    check.that("window answers", state is not None)
    if state is None:
        check.finish("120 dpi")
    check.equal("dpi", state["dpi"], 120)
    cx, cy, right, bottom = state["client"]
    check.equal("client area", (right - cx, bottom - cy), (596, 466))
    # A screen reader finds the labels where they are drawn, and each one
    # again at its centre.
    found = {c["name"]: c for c in state.get("accessible", [])}
    for name, (left, top, width, height) in {"开始检测": (376, 320, 81, 17), "CPU": (64, 200, 185, 33),
                                             "Tessmor出品": (416, 352, 49, 17), "Varnello": (112, 8, 280, 68)}.items():
        c = found.get(name)
        check.that(f"reader finds {name}", c is not None)
        if c:
            check.equal(f"{name} where it is drawn", c["at"],
                        [cx + scaled(left), cy + scaled(top), scaled(left + width) - scaled(left),
                         scaled(top + height) - scaled(top)])
    for c in state.get("accessible", []):
        if c["name"] not in ("", "检测中……"):  # the strip is the browser's; the overlay is hidden
            check.equal(f"{c['name']} found at its centre", c["hit"], c["child"])
    check.that("probe sets cpuz", d.probe("caption", "cpuz", "Intel(R) Core(TM) i7-8700K CPU @ 3.70GHz " * 3))
    time.sleep(1)
    img = pixels.load(d.screenshot(os.path.join(shots, "dpi120.png")))

    def at(left, top, width, height):
        return region(img, cx + scaled(left), cy + scaled(top), scaled(width), scaled(height))

    check.that("Label5 red in its scaled place", count(at(56, 120, 65, 17), pixels.red) > 30)
    check.that("jiance dark grey in its scaled place", count(at(376, 320, 81, 17), pixels.dark_grey) > 30)
    check.that("cpuz wraps within its scaled label", count(at(64, 200, 185, 16), pixels.blue) > 40 and
               count(at(64, 216, 185, 16), pixels.blue) > 40)
    check.equal("nothing of cpuz below its label", count(at(64, 234, 185, 12), pixels.blue), 0)
    edge = region(img, cx + 594, cy, 2, 466)
    check.equal("white strip at the right edge", count(edge, lambda p: not pixels.white(p)), 0)
    check.that("background art scaled over the client area",
               count(region(img, cx + 10, cy + 140, 560, 300), pixels.white) < 560 * 300 // 2)

    # Along the bottom strip, over the columns that spell the button presses.
    before = pixels.load(d.screenshot(os.path.join(shots, "dpi120-before-strip.png")))
    for x in range(505, 525):
        d.move(cx + x, cy + 463)
        time.sleep(0.05)
    time.sleep(1)
    after = pixels.load(d.screenshot(os.path.join(shots, "dpi120-after-strip.png")))
    # A menu would open at the pointer, below and right of it or above it;
    # the region stays clear of the notification area, where balloons come
    # and go.
    left, top = cx + 430, cy + 360
    menu_area = (left, top, 200, min(Desktop.HEIGHT - 30, cy + 560) - top)
    check.equal("no popup menu from the pointer",
                pixels.differing(region(after, *menu_area), region(before, *menu_area)), 0)
    state = d.dump(30)
    check.equal("window unchanged", state and (state["visible"], state["iconic"]), (True, False))

check.finish("120 dpi")

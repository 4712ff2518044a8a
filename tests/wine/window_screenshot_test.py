#!/usr/bin/env python3
"""Photographs the window under Xvfb and wine64 and checks it by pixel
regions against the layout and the pictures it is made of: the background
and panel in place, the white strip at the right and bottom edges, the
captions' colours, the progress frame covering the panel while visible and
gone when hidden, and a long text wrapped and cut off at its label's height.

usage: window_screenshot_test.py PROBE_BUILD_EXE PROBE_CLIENT_EXE SCREENSHOT_DIR
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop  # noqa: E402
import pixels  # noqa: E402
from pixels import blue, count, region  # noqa: E402

exe, client_exe, shots = sys.argv[1:4]
os.makedirs(shots, exist_ok=True)
check = pixels.Checks()

P2 = pixels.asset("p2_background.gif")
P3 = pixels.asset("p3_progress.jpg")
P4 = pixels.asset("p4_banner.bmp")
P5 = pixels.asset("p5_button.bmp")
P7 = pixels.asset("p7_panel.bmp")


def shot(d, name):
    return pixels.load(d.screenshot(os.path.join(shots, name)))


with Desktop("layout") as d:
    d.start(exe, client_exe)
    state = d.dump(120)
    check.that("the window answers", state is not None)
    if state is None:
        check.finish("window screenshot")
    check.equal("dpi", state["dpi"], 96)
    cx, cy, right, bottom = state["client"]
    check.equal("client size", (right - cx, bottom - cy), (477, 373))
    check.equal("progress frame hidden after load", state["frame1"], False)
    time.sleep(1)

    def at(img, left, top, width, height):
        return region(img, cx + left, cy + top, width, height)

    img = shot(d, "layout-start.png")
    check.equal("background Image1 at 0,0", pixels.differing(at(img, 0, 0, 110, 70), P2.crop((0, 0, 110, 70))), 0)
    check.equal("banner Image5 at 112,8", pixels.differing(at(img, 112, 8, 280, 64), P4.crop((0, 0, 280, 64))), 0)
    check.equal("panel Image2 at 16,136",
                pixels.differing(at(img, 16, 138, 443, 28), P7.crop((0, 2, 443, 30))), 0)
    check.equal("button face Image12 at 376,312",
                pixels.differing(at(img, 376, 312, 82, 8), P5.crop((0, 0, 82, 8))), 0)
    strip = [at(img, 475, 0, 2, 373), at(img, 0, 369, 477, 4)]
    check.equal("white strip at the right and bottom edges",
                sum(count(s, lambda p: not pixels.white(p)) for s in strip), 0)

    check.that("heading Label5 is red", count(at(img, 56, 120, 65, 17), pixels.red) > 20)
    check.that("start label jiance is dark grey", count(at(img, 376, 320, 81, 17), pixels.dark_grey) > 20)
    check.that("credit label update is blue", count(at(img, 416, 352, 49, 17), blue) > 20)
    check.that("caption Label4 in the button-text colour", count(at(img, 32, 168, 41, 17), pixels.black) > 10)
    check.equal("result labels empty at start", count(at(img, 64, 168, 185, 33), blue), 0)

    # A long text wraps at the label's width and is cut off at its height:
    # cpuz holds two lines of 16 pixels in its 33.
    long_text = "Intel(R) Core(TM) i7-8700K CPU @ 3.70GHz Intel(R) Core(TM) i7-8700K CPU @ 3.70GHz " * 4
    check.that("probe sets cpuz", d.probe("caption", "cpuz", long_text))
    check.that("probe sets xianka", d.probe("caption", "xianka", "W" * 60))
    check.that("probe sets zhuban", d.probe("caption", "zhuban", "Intel Corporation型号:DH55TC"))
    time.sleep(0.5)
    img = shot(d, "layout-captions.png")
    check.that("cpuz first line", count(at(img, 64, 200, 185, 16), blue) > 30)
    check.that("cpuz wrapped onto a second line", count(at(img, 64, 216, 185, 16), blue) > 30)
    check.equal("nothing of cpuz below its label", count(at(img, 64, 233, 193, 12), blue), 0)
    check.equal("nothing of cpuz right of its label", count(at(img, 249, 200, 15, 33), blue), 0)
    check.that("zhuban shows its text", count(at(img, 64, 168, 185, 17), blue) > 30)

    # The progress frame covers the panel and every label in it but the
    # rightmost 8 pixels of xianka, shengka and wangka.
    check.that("probe shows Frame1", d.probe("frame1", "1"))
    time.sleep(0.5)
    img = shot(d, "layout-progress.png")
    check.equal("Frame1 shows the progress picture",
                pixels.differing(at(img, 24, 144, 417, 153), P3.crop((24, 8, 441, 161)), 6), 0)
    check.that("xianka's rightmost pixels stay visible", count(at(img, 441, 200, 8, 17), blue) > 0)
    check.equal("zhuban hidden", count(at(img, 64, 168, 185, 33), blue), 0)
    check.that("Windows above the frame stays", count(at(img, 56, 120, 65, 17), pixels.red) > 20)

    check.that("probe hides Frame1", d.probe("frame1", "0"))
    time.sleep(0.5)
    img = shot(d, "layout-progress-hidden.png")
    check.that("Frame1 gone", pixels.differing(at(img, 24, 144, 417, 153), P3.crop((24, 8, 441, 161)), 6) > 1000)
    check.that("zhuban shows again", count(at(img, 64, 168, 185, 17), blue) > 30)
    check.that("cpuz shows again", count(at(img, 64, 216, 185, 16), blue) > 30)
    after = d.dump(30)
    check.equal("texts kept while hidden", after and after["captions"]["zhuban"], "Intel Corporation型号:DH55TC")

check.finish("window screenshot")

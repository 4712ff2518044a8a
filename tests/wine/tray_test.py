#!/usr/bin/env python3
"""The notification-area icon on screen: a program adds the icon, shows a
Chinese balloon, and deletes the icon; screenshots show the icon, then the
balloon with 提示, then no icon. Then the program itself starts and greets.
Done under code page 936 and again under 1252, where the ANSI record cannot
hold the text: the balloons must look the same in both.

usage: tray_test.py TRAY_DEMO_EXE KEEP_DESKTOP_EXE PROGRAM_EXE PROBE_CLIENT_EXE SCREENSHOT_DIR
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop  # noqa: E402
import pixels  # noqa: E402
from pixels import count, region  # noqa: E402

demo_exe, keep_exe, program_exe, client_exe, shots = sys.argv[1:6]
os.makedirs(shots, exist_ok=True)
check = pixels.Checks()
balloons, welcomes = {}, {}
for page, locale in (("936", "zh_CN.UTF-8"), ("1252", "C.UTF-8")):
    with Desktop(f"tray{page}", locale=locale) as d:
        steps = os.path.join(d.tmp, "steps")
        os.makedirs(steps)
        # The demo takes the step folder as its command line.
        d.start(demo_exe, client_exe, keep_exe=keep_exe, args=["Z:" + steps.replace("/", "\\")])

        def snap(name):
            return pixels.load(d.screenshot(os.path.join(shots, f"tray-{page}-{name}.png")))

        check.poll(f"[{page}] icon shown", lambda: d.tray_icon(snap("icon")), 60)
        open(os.path.join(steps, "balloon"), "w").close()
        box = check.poll(f"[{page}] balloon shown", lambda: d.balloon(snap("balloon")), 30)
        if box:
            img = snap("balloon")
            check.that(f"[{page}] balloon text drawn", count(region(img, box[0], box[1], box[2] - box[0], box[3] - box[1]),
                                                             pixels.black) > 40)
            balloons[page] = region(img, box[0], box[1], box[2] - box[0], box[3] - box[1])
        open(os.path.join(steps, "delete"), "w").close()
        check.poll(f"[{page}] icon deleted", lambda: not d.tray_icon(snap("deleted")), 30)

        # The program's own welcome balloon.
        d.start(program_exe, client_exe)
        box = check.poll(f"[{page}] welcome balloon shown", lambda: d.balloon(snap("welcome")), 40)
        if box:
            img = snap("welcome")
            welcomes[page] = region(img, box[0], box[1], box[2] - box[0], box[3] - box[1])

if len(balloons) == 2:
    a, b = balloons["936"], balloons["1252"]
    check.equal("balloon the same size under 1252", b.size, a.size)
    if a.size == b.size:
        check.equal("balloon the same pixels under 1252 (提示 and the text shown, not ??)", pixels.differing(a, b), 0)
if len(welcomes) == 2:
    a, b = welcomes["936"], welcomes["1252"]
    check.equal("welcome balloon the same size under 1252", b.size, a.size)
    if a.size == b.size:
        check.equal("welcome balloon the same pixels under 1252", pixels.differing(a, b), 0)

check.finish("notification area")

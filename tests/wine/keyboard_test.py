#!/usr/bin/env python3
"""The window without a mouse, driven with xdotool's keys inside an explorer
desktop under Xvfb: Enter, F5 and a held Enter start one survey each, Tab
walks to the banner whose Enter opens the home page once, the focus shows
once the keyboard is used, and Ctrl+C puts the results on the clipboard,
read back from the virtual display's own.

usage: keyboard_test.py PROBE_BUILD_EXE PROBE_CLIENT_EXE SURVEY_EXE HOME_HOST SCREENSHOT_DIR
"""
import json
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop  # noqa: E402
import pixels  # noqa: E402
from pixels import region  # noqa: E402

exe, client_exe, survey_exe, home_host, shots = sys.argv[1:6]
os.makedirs(shots, exist_ok=True)
check = pixels.Checks()
# The credit link's place at 96 DPI, a little beyond it where its focus
# rectangle is drawn.
UPDATE = (416 - 2, 352 - 2, 49 + 4, 17 + 4)


def survey_done(d, n):
    check.poll(f"survey {n} ends", d.when(lambda s: s["surveys"] == n and s["tray"]["info"] == "检测完毕"), 180)


with Desktop("keys") as d:
    expected = json.loads(d.wine(survey_exe, "--json", timeout=180).stdout.decode("utf-8"))
    d.start(exe, client_exe)
    state = check.poll("window loaded", d.when(lambda s: s["tray"]["info"] == "欢迎使用Varnello"), 120)
    if state is None:
        check.finish("keyboard")
    cx, cy = state["client"][:2]
    d.click(cx + 8, cy + 200)  # the window in front, on its bare background
    before = pixels.load(d.screenshot(os.path.join(shots, "keys-start.png")))

    d.xdotool("key", "Return")
    survey_done(d, 1)
    d.xdotool("key", "F5")
    survey_done(d, 2)
    # Held down: the X server repeats the press, which Wine marks as repeats.
    d.xdotool("keydown", "Return", "sleep", "2", "keyup", "Return")
    survey_done(d, 3)
    time.sleep(2)
    after = d.dump(30) or {}
    check.equal("a held Enter starts one survey", after.get("surveys"), 3)
    check.that("its repeats arrived", after.get("key_repeats", 0) >= 2, f"({after.get('key_repeats')})")

    d.xdotool("key", "Tab")
    focused = pixels.load(d.screenshot(os.path.join(shots, "keys-tab.png")))
    box = (cx + UPDATE[0], cy + UPDATE[1], UPDATE[2], UPDATE[3])
    check.that("the focus rectangle shows after Tab",
               pixels.differing(region(before, *box), region(focused, *box)) > 20)
    d.xdotool("key", "Tab", "key", "Return")
    time.sleep(1)
    check.equal("Enter on the banner opens the home page once", (d.dump(30) or {}).get("started"),
                [f"Explorer   /s   ,   http://{home_host} [style 2]"])

    d.xdotool("key", "ctrl+c")
    time.sleep(1)
    copied = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=d.env, capture_output=True,
                            timeout=30).stdout.decode("utf-8")
    names = [("主板:", "zhuban"), ("BIOS:", "BIOS"), ("CPU:", "cpuz"), ("显卡:", "xianka"), ("硬盘:", "yp"),
             ("声卡:", "shengka"), ("内存:", "neicun"), ("网卡:", "wangka")]
    lines = [expected["Windows"]] + [caption + expected[label] for caption, label in names]
    check.equal("Ctrl+C copies the nine results", copied.replace("\r\n", "\n").split("\n"), lines + [""])

check.finish("keyboard")

#!/usr/bin/env python3
"""The whole program, driven from outside as a person would: started inside
an explorer desktop under Xvfb and wine64, clicked and hovered with xdotool,
photographed, and read through the test build's probe.

It runs as from a downloads folder that holds no icon.ico (the notification
area then shows the program's own icon) but marker libraries named as the
system libraries the program loads on first call: oleacc, ole32, oleaut32,
shell32. None may load, at start, in a survey, on a reader's request or on
the way out; a marker that loads leaves a file behind. Wine prefers its
builtin libraries wherever a library is found; told to try native ones
first for a name, it searches as Windows does, the program's folder first.
Not for ole32, which Windows takes from its KnownDLLs whoever asks but
Wine's own imm32 asks for by name while the window is made, before any code
of the program's could choose: it stays builtin-first.

usage: e2e_test.py PROBE_BUILD_EXE PROBE_CLIENT_EXE KEEP_DESKTOP_EXE SURVEY_EXE MARKER_DLL HOME_HOST SCREENSHOT_DIR
"""
import json
import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop  # noqa: E402
import pixels  # noqa: E402
from pixels import count, region  # noqa: E402

exe, client_exe, keep_exe, survey_exe, marker_dll, home_host, shots = sys.argv[1:8]
os.makedirs(shots, exist_ok=True)
check = pixels.Checks()
P3 = pixels.asset("p3_progress.jpg")
LABELS = ["Windows", "zhuban", "BIOS", "cpuz", "xianka", "shengka", "wangka", "neicun", "yp"]


def shot(d, name):
    return pixels.load(d.screenshot(os.path.join(shots, name)))


folder, marks = tempfile.mkdtemp(prefix="varnello-e2e-"), tempfile.mkdtemp(prefix="varnello-marks-")
shutil.copy(exe, folder)
for name in ["oleacc", "ole32", "oleaut32", "shell32"]:
    shutil.copy(marker_dll, os.path.join(folder, name + ".dll"))
with Desktop("e2e") as d:
    # What the console survey finds on the same machine, run before the
    # explorer desktop starts: beside it, a console program waits for a
    # desktop of its own.
    expected = json.loads(d.wine(survey_exe, "--json", timeout=180).stdout.decode("utf-8"))
    # A second's pause before each connection to the service keeps the
    # survey on screen long enough to be photographed.
    d.env["VARNELLO_PROBE_SURVEY_PAUSE_MS"] = "1000"
    d.env["WINEDLLOVERRIDES"] += ";oleacc,oleaut32,shell32=n,b"
    d.env["VARNELLO_MARKER_DIR"] = "Z:" + marks.replace("/", "\\")
    d.start(os.path.join(folder, os.path.basename(exe)), client_exe, keep_exe)
    state = check.poll("welcome balloon sent", d.when(lambda s: s["tray"]["info"] == "欢迎使用Varnello"), 120)
    if state is None:
        check.finish("end to end")
    cx, cy = state["client"][:2]
    check.equal("visible after start", (state["visible"], state["frame1"]), (True, False))
    check.equal("tooltip and balloon", (state["tray"]["tip"], state["tray"]["title"]), ("Varnello v1.0", "提示"))
    check.equal("the icon added with the program's own picture", state["tray"]["hIcon"], 1)
    check.that("the web view is there", state["web_view"])
    # Each dump reads the window through its accessible object, as a reader does.
    check.that("a reader is answered", any("开始检测" in c["name"] for c in state["accessible"]))
    img = shot(d, "e2e-start.png")
    check.that("the program's icon in the notification area", d.tray_icon(img) is not None)
    check.that("window on screen", count(region(img, cx + 56, cy + 120, 65, 17), pixels.red) > 20)

    # The start label's hover colour: white under the pointer, and so on
    # over the strip and the button face; dark grey again over the background.
    d.move(cx + 400, cy + 328)
    check.poll("jiance turns white under the pointer", d.when(lambda s: s["jiance_colour"] == 0xFFFFFF), 10)
    for x, y in [(200, 82), (380, 314)]:
        d.move(cx + x, cy + y)
        time.sleep(0.5)
        check.equal(f"jiance stays white at {x},{y}", (d.dump(30) or {}).get("jiance_colour"), 0xFFFFFF)
    d.move(cx + 8, cy + 200)
    check.poll("jiance dark grey again over Image1", d.when(lambda s: s["jiance_colour"] == 0x404040), 10)

    # A survey: the progress picture, then the nine labels filled.
    d.click(cx + 400, cy + 328)

    def progress_on_screen():
        img = shot(d, "e2e-surveying.png")
        return pixels.differing(region(img, cx + 24, cy + 144, 417, 153), P3.crop((24, 8, 441, 161)), 6) < 50

    check.poll("progress picture during the survey", progress_on_screen, 20, step=0.1)
    done = check.poll("survey ends", d.when(lambda s: s["tray"]["info"] == "检测完毕" and not s["frame1"]), 180)
    if done:
        check.equal("labels hold this machine's data", {k: done["captions"][k] for k in LABELS}, expected)
        check.that("every label filled", all(done["captions"][k] for k in LABELS if k != "wangka"))
    shot(d, "e2e-after-survey.png")

    # The two links start the same command, once per click.
    d.click(cx + 420, cy + 356)
    d.click(cx + 200, cy + 40)
    time.sleep(1)
    command = f"Explorer   /s   ,   http://{home_host} [style 2]"
    check.equal("links start the home page command", (d.dump(30) or {}).get("started"), [command, command])

    # Minimised through the system menu's command (where each Wine draws
    # the caption's buttons is its own): hidden, the icon stays, and a left
    # press on it brings the window back.
    check.that("minimise command sent", d.probe("syscommand", "minimize"))
    check.poll("minimise hides the window", d.when(lambda s: not s["visible"]), 10)
    icon = d.tray_icon(shot(d, "e2e-hidden.png"))
    check.that("icon stays while hidden", icon is not None)
    if icon:
        x, y = (icon[0] + icon[2]) // 2, (icon[1] + icon[3]) // 2
        d.press(x, y, 1)
        back = check.poll("left press on the icon restores", d.when(lambda s: s["visible"]), 10)
        if back:
            check.equal("restored in the normal state", back["iconic"], False)
            check.equal("texts kept across hiding", back["captions"]["cpuz"], done and done["captions"]["cpuz"])
        # A right press opens the menu: what changed beside the icon, outside
        # the window, wherever Wine opens it. Its last item is 退出程序.
        time.sleep(1)
        img = shot(d, "e2e-before-menu.png")
        d.press(x, y, 3)
        time.sleep(1)
        menu = shot(d, "e2e-menu.png")
        wl, wt, wr, wb = state["window"]
        changed = [(i % menu.width, i // menu.width) for i, (p, q) in enumerate(zip(menu.getdata(), img.getdata()))
                   if p != q and abs(i % menu.width - x) < 300 and not (wl <= i % menu.width < wr and wt <= i // menu.width < wb)]
        check.that("right press opens the popup menu", len(changed) > 500)
        if changed:
            bottom = max(y for _, y in changed)
            row = [x for x, y in changed if y == bottom - 4]
            d.click((min(row) + max(row)) // 2 if row else x, bottom - 9)
        check.that("退出程序 ends the process", d.program_ended(20))
        time.sleep(1)
        check.that("the notification area stays after the program", d.tray() is not None)

check.equal("no planted library was loaded", sorted(os.listdir(marks)), [])
shutil.rmtree(folder, ignore_errors=True)
shutil.rmtree(marks, ignore_errors=True)
check.finish("end to end")

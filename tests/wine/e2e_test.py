#!/usr/bin/env python3
"""The whole program, driven from outside as a person would: started inside
an explorer desktop under Xvfb and wine64, clicked and hovered with xdotool,
photographed, and read through the test build's probe.

usage: e2e_test.py PROBE_BUILD_EXE PROBE_CLIENT_EXE KEEP_DESKTOP_EXE SURVEY_EXE ICON_FILE HOME_HOST SCREENSHOT_DIR
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

exe, client_exe, keep_exe, survey_exe, icon_file, home_host, shots = sys.argv[1:8]
os.makedirs(shots, exist_ok=True)
check = pixels.Checks()
P3 = pixels.asset("p3_progress.jpg")
LABELS = ["Windows", "zhuban", "BIOS", "cpuz", "xianka", "shengka", "wangka", "neicun", "yp"]


def install(with_icon):
    """The program in a folder of its own, with or without icon.ico."""
    folder = tempfile.mkdtemp(prefix="varnello-e2e-")
    shutil.copy(exe, folder)
    if with_icon:
        shutil.copy(icon_file, os.path.join(folder, "icon.ico"))
    return os.path.join(folder, os.path.basename(exe)), folder


def shot(d, name):
    return pixels.load(d.screenshot(os.path.join(shots, name)))


def minimise(d):
    """Minimises the window through its system menu's command: where each
    Wine draws the caption's buttons and where they react is Wine's own."""
    check.that("minimise command sent", d.probe("syscommand", "minimize"))


def restore_from_icon(d, name):
    """Finds the icon in the notification area and presses the left button
    on it; its box, or None where no icon was drawn."""
    icon = d.tray_icon(shot(d, name))
    if icon:
        d.press((icon[0] + icon[2]) // 2, (icon[1] + icon[3]) // 2, 1)
    return icon


def state_when(d, ok):
    """A test for check.poll: the window's state once `ok` holds for it."""
    def test():
        state = d.dump(30)
        return state if state and ok(state) else None
    return test


def shot_when(d, name, ok):
    """A test for check.poll: a screenshot once `ok` holds for it."""
    def test():
        img = shot(d, name)
        return img if ok(img) else None
    return test


def survey_json(d):
    """What the console survey finds on the same display. It runs before the
    explorer desktop starts: a console program beside that desktop waits
    for a desktop of its own."""
    out = d.wine(survey_exe, "--json", timeout=180).stdout.decode("utf-8")
    return json.loads(out)


program, folder = install(with_icon=True)
with Desktop("e2e") as d:
    expected = survey_json(d)
    # A second's pause before each connection to the service keeps the
    # survey on screen long enough to be photographed.
    d.env["VARNELLO_PROBE_SURVEY_PAUSE_MS"] = "1000"
    d.start(program, client_exe, keep_exe)
    # The balloon comes about 2 s after it is asked for and stays 10 s;
    # watch for it before anything else can delay the test.
    img = check.poll("welcome balloon on screen", shot_when(d, "e2e-start.png", d.balloon), 40)
    state = d.dump(120)
    check.that("window answers", state is not None)
    if state is None:
        check.finish("end to end")
    cx, cy = state["client"][:2]
    check.equal("visible after start", (state["visible"], state["frame1"]), (True, False))
    check.equal("tooltip", state["tray"]["tip"], "Varnello v1.0")
    check.equal("welcome balloon", (state["tray"]["info"], state["tray"]["title"]), ("欢迎使用Varnello", "提示"))
    if img:
        check.that("icon in the notification area", d.tray_icon(img) is not None)
        check.that("window on screen", count(region(img, cx + 56, cy + 120, 65, 17), pixels.red) > 20)

    # The start label's hover colour.
    d.move(cx + 400, cy + 328)
    check.poll("jiance turns white under the pointer", state_when(d, lambda s: s["jiance_colour"] == 0xFFFFFF), 10)
    d.move(cx + 200, cy + 82)  # straight onto the announcement strip
    time.sleep(0.5)
    check.equal("jiance stays white off Image1", (d.dump(30) or {}).get("jiance_colour"), 0xFFFFFF)
    d.move(cx + 380, cy + 314)  # the button face around the label
    time.sleep(0.5)
    check.equal("the button face changes nothing", (d.dump(30) or {}).get("jiance_colour"), 0xFFFFFF)
    d.move(cx + 8, cy + 200)
    check.poll("jiance dark grey again over Image1", state_when(d, lambda s: s["jiance_colour"] == 0x404040), 10)

    # A survey: the progress picture, then the nine labels filled.
    before = shot(d, "e2e-before-survey.png")
    d.click(cx + 400, cy + 328)

    def progress_on_screen():
        img = shot(d, "e2e-surveying.png")
        return pixels.differing(region(img, cx + 24, cy + 144, 417, 153), P3.crop((24, 8, 441, 161)), 6) < 50

    check.poll("progress picture during the survey", progress_on_screen, 20, step=0.1)
    done = check.poll("survey ends", state_when(d, lambda s: s["tray"]["info"] == "检测完毕" and not s["frame1"]), 180)
    if done:
        check.equal("labels hold this machine's data", {k: done["captions"][k] for k in LABELS}, expected)
        check.that("every label filled", all(done["captions"][k] for k in LABELS if k != "wangka"))
    after = shot(d, "e2e-after-survey.png")
    for name, (x, y, w, h) in {"zhuban": (64, 168, 185, 33), "cpuz": (64, 200, 185, 33), "yp": (64, 232, 193, 25),
                               "neicun": (64, 264, 185, 17), "xianka": (296, 200, 153, 25)}.items():
        check.that(f"{name} drawn after the survey",
                   count(region(after, cx + x, cy + y, w, h), pixels.blue) >
                   count(region(before, cx + x, cy + y, w, h), pixels.blue) + 20)

    # The two links start the same command, once per click.
    d.click(cx + 420, cy + 356)
    d.click(cx + 200, cy + 40)
    time.sleep(1)
    command = f"Explorer   /s   ,   http://{home_host} [style 2]"
    check.equal("links start the home page command", (d.dump(30) or {}).get("started"), [command, command])

    # Minimise: hidden, icon stays; a left press on the icon brings it back.
    minimise(d)
    hidden = check.poll("minimise hides the window", state_when(d, lambda s: not s["visible"]), 10)
    icon = restore_from_icon(d, "e2e-hidden.png") if hidden else None
    check.that("icon stays while hidden", icon is not None)
    if hidden and icon:
        x, y = (icon[0] + icon[2]) // 2, (icon[1] + icon[3]) // 2
        back = check.poll("left press on the icon restores", state_when(d, lambda s: s["visible"]), 10)
        if back:
            check.equal("restored in the normal state", back["iconic"], False)
            check.equal("texts kept across hiding", back["captions"]["cpuz"], done and done["captions"]["cpuz"])
        shot(d, "e2e-restored.png")

        # A right press opens the menu; its last item ends the program.
        img = shot(d, "e2e-before-menu.png")
        d.press(x, y, 3)
        time.sleep(1)
        menu = shot(d, "e2e-menu.png")
        # The menu is what changed beside the icon, outside the window,
        # whichever way Wine opens it; its last item is 退出程序.
        wl, wt, wr, wb = back["window"] if back else (0, 0, 0, 0)
        width = menu.width
        changed = [(i % width, i // width) for i, (p, q) in enumerate(zip(menu.getdata(), img.getdata()))
                   if p != q and abs(i % width - x) < 300 and not (wl <= i % width < wr and wt <= i // width < wb)]
        check.that("right press opens the popup menu", len(changed) > 500)
        if changed:
            bottom = max(y for _, y in changed)
            row = [x for x, y in changed if y == bottom - 4]
            d.click((min(row) + max(row)) // 2 if row else x, bottom - 9)
        check.that("退出程序 ends the process", d.program_ended(20))
        time.sleep(1)
        gone = shot(d, "e2e-ended.png")
        check.that("the icon is removed", d.tray_icon(gone) is None)
        check.that("while the notification area stays", d.tray() is not None)

shutil.rmtree(folder, ignore_errors=True)

# Without icon.ico the window and the welcome balloon still come, and the
# program's own icon stands in the notification area as the way back.
program, folder = install(with_icon=False)
with Desktop("e2enoicon") as d:
    d.start(program, client_exe, keep_exe)
    check.poll("welcome balloon on screen without icon.ico", shot_when(d, "e2e-noicon.png", d.balloon), 40)
    state = d.dump(120)
    check.that("starts without icon.ico", state is not None and state["visible"])
    if state:
        check.equal("icon added with the program's own picture", state["tray"]["hIcon"], 1)
        check.equal("welcome balloon sent", state["tray"]["info"], "欢迎使用Varnello")
        minimise(d)
        hidden = check.poll("minimised without icon.ico", state_when(d, lambda s: not s["visible"]), 10)
        icon = restore_from_icon(d, "e2e-noicon-hidden.png") if hidden else None
        check.that("the program's icon drawn in the notification area", icon is not None)
        check.poll("a left press on it restores the window", state_when(d, lambda s: s["visible"]), 10)
shutil.rmtree(folder, ignore_errors=True)

check.finish("end to end")

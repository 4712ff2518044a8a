#!/usr/bin/env python3
"""Libraries planted beside the program under the names of the system
libraries it loads on first call (oleacc, ole32, oleaut32, shell32) never
load: not at start-up with the web view, the icon and the welcome balloon,
not in a survey, not on a screen reader's request. Each plant is a marker
library that leaves a file behind if it is ever loaded.

Wine prefers its builtin libraries wherever a library is found; told to try
native ones first for a name, it searches as Windows does, the program's
folder before the system's. Not so for ole32: Windows takes it from its
KnownDLLs whoever asks, but Wine's own imm32 asks for it by name while the
window is being made, before any code of the program's could choose, and
would find the plant. ole32 is planted all the same and left to Wine's
builtin-first order; the program's own load of it goes by full path like
the others'.

The folder holds no icon.ico either: the notification area then shows the
program's own icon.

usage: planted_libraries_test.py PROBE_BUILD_EXE PROBE_CLIENT_EXE MARKER_DLL SCREENSHOT_DIR
"""
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop  # noqa: E402
import pixels  # noqa: E402

exe, client_exe, marker_dll, shots = sys.argv[1:5]
check = pixels.Checks()
PLANTED = ["oleacc", "ole32", "oleaut32", "shell32"]
NATIVE_FIRST = ["oleacc", "oleaut32", "shell32"]

folder = tempfile.mkdtemp(prefix="varnello-planted-libraries-")
marks = tempfile.mkdtemp(prefix="varnello-planted-marks-")
program = os.path.join(folder, os.path.basename(exe))
shutil.copy(exe, program)
for name in PLANTED:
    shutil.copy(marker_dll, os.path.join(folder, name + ".dll"))

with Desktop("plantedlibs") as d:
    d.env["WINEDLLOVERRIDES"] += ";" + ",".join(NATIVE_FIRST) + "=n,b"
    d.env["VARNELLO_MARKER_DIR"] = "Z:" + marks.replace("/", "\\")
    d.start(program, client_exe)
    # Each dump reads the window as a reader does, through its accessible
    # object; the first may come while the load handler is still making the
    # web view, the icon and the balloon.
    def loaded():
        state = d.dump(30)
        return state if state and state["tray"]["info"] == "欢迎使用Varnello" else None

    state = check.poll("the web view, icon and balloon made", loaded, 120)
    if state:
        check.that("a reader is answered", len(state["accessible"]) > 0)
        check.that("the web view is there", state["web_view"])
        check.equal("the icon added with the program's own picture", state["tray"]["hIcon"], 1)
        img = pixels.load(d.screenshot(os.path.join(shots, "planted-noicon.png")))
        check.that("the program's icon drawn in the notification area", d.tray_icon(img) is not None)
        start = next((c for c in state["accessible"] if "开始检测" in c["name"]), None)
        check.that("the start label is read", start is not None)
        if start:
            x, y, w, h = start["at"]
            d.click(x + w // 2, y + h // 2)
            check.poll("a survey runs to its end",
                       lambda: (d.dump(30) or {}).get("tray", {}).get("info") == "检测完毕", 180)
    check.equal("no planted library was loaded", sorted(os.listdir(marks)), [])
    check.that("the program still runs", d.window_exists())

shutil.rmtree(folder, ignore_errors=True)
shutil.rmtree(marks, ignore_errors=True)
check.finish("planted libraries")

#!/usr/bin/env python3
"""The survey where WMI cannot be bound: Wine's WMI taken away (wbemprox
disabled), as on a system whose service is disabled or missing. The console
survey and the window then answer from the system's own sources; where
Wine's WMI reads the same places, both paths must agree.

usage: native_survey_test.py PROBE_BUILD_EXE PROBE_CLIENT_EXE SURVEY_EXE
"""
import json
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop  # noqa: E402
import pixels  # noqa: E402

exe, client_exe, survey_exe = sys.argv[1:4]
check = pixels.Checks()
LABELS = ["Windows", "zhuban", "BIOS", "cpuz", "xianka", "shengka", "wangka", "neicun", "yp"]


def survey(d, *args):
    return json.loads(d.wine(survey_exe, "--json", *args, timeout=180).stdout.decode("utf-8"))


def size_part(disk):
    return disk.split(" 型号:")[0]


with Desktop("native") as d:
    wmi = survey(d)
    d.env["WINEDLLOVERRIDES"] += ";wbemprox=d"
    native = survey(d)
    check.equal("--native reads as a survey without WMI does", survey(d, "--native"), native)

    check.that("the system named", native["Windows"].startswith("系统：Microsoft Windows"), native["Windows"])
    # The registry's processor name is what Wine's WMI reads too; the disk's
    # geometry Wine answers with the same figures on both paths.
    check.equal("processor as WMI has it", native["cpuz"], wmi["cpuz"])
    check.equal("disk size as WMI has it", size_part(native["yp"]), size_part(wmi["yp"]))
    memory = re.fullmatch(r"(\S+) MB / (\d+)条", native["neicun"])
    check.that("memory above 0 MB in at least one module",
               memory and float(memory.group(1)) > 0 and int(memory.group(2)) >= 1, native["neicun"])
    # Wine's WMI answers the rest with texts of its own (a fixed firmware
    # version, "Wine Audio Device", adapters from the host's interfaces); the
    # native sources read the firmware table and SetupAPI's device lists,
    # where Wine lists a display adapter but no sound or network device.
    check.that("firmware version from the registry or the firmware table", native["BIOS"].startswith("版本:"))
    check.that("the display adapter SetupAPI lists", native["xianka"] not in ("", wmi["xianka"]), native["xianka"])
    check.equal("no sound or network device listed", (native["shengka"], native["wangka"]), ("", ""))

    # The window, started the same way, shows what the console found.
    d.start(exe, client_exe)
    state = check.poll("window up", lambda: d.dump(30), 120)
    if state:
        cx, cy = state["client"][:2]
        d.click(cx + 400, cy + 328)
        done = check.poll("survey ends", d.when(lambda s: s["tray"]["info"] == "检测完毕"), 180)
        if done:
            shown = ["Windows", "cpuz", "yp", "neicun"]
            check.equal("the window shows the console's texts", {k: done["captions"][k] for k in shown},
                        {k: native[k] for k in shown})

check.finish("survey without WMI")

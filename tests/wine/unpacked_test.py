#!/usr/bin/env python3
"""The download as a user gets it: the archive unpacked into a fresh folder,
its programs the very ones the tests ran and read for XP (so the same
bytes), and the window program, started there, on screen with its banner.

usage: unpacked_test.py ARCHIVE RELEASE_BUILD_DIR
"""
import os
import shutil
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop  # noqa: E402
import pixels  # noqa: E402

archive, release = sys.argv[1:3]
check = pixels.Checks()
folder = tempfile.mkdtemp(prefix="varnello-download-")
with zipfile.ZipFile(archive) as z:
    z.extractall(folder)
    check.equal("one folder holding the program, its icon, the console survey and the readme", sorted(z.namelist()),
                ["Varnello v1.0/" + name for name in ["", "Varnello v1.0.exe", "icon.ico", "readme.txt", "varnello-survey.exe"]])
unpacked = os.path.join(folder, "Varnello v1.0")
program, survey = os.path.join(unpacked, "Varnello v1.0.exe"), os.path.join(unpacked, "varnello-survey.exe")
for path, built in [(program, "ui/Varnello v1.0.exe"), (survey, "survey/varnello-survey.exe")]:
    with open(path, "rb") as a, open(os.path.join(release, built), "rb") as b:
        check.that(f"{os.path.basename(path)} is the program the tests ran", a.read() == b.read())
with Desktop("download") as d:
    d.start(program)
    # Its bottom rows lie under the announcement strip.
    banner = pixels.asset("p4_banner.bmp").crop((0, 0, 280, 60))
    check.poll("the window shows its banner", lambda: pixels.find(
        pixels.load(d.screenshot(os.path.join(d.tmp, "download.png"))), banner), 120)
shutil.rmtree(folder, ignore_errors=True)
check.finish("download")

#!/usr/bin/env python3
"""Runs varnello-survey.exe under Wine against Wine's real WMI and checks
each line it prints against the same facts read another way: Wine's own
wmic (raw IWbemServices queries), the CPUID instruction, and the kernel's
list of network interfaces. A wrong property, query or format fails here.

usage: survey_console_test.py SURVEY_EXE CPUID_EXE
"""
import json
import math
import os
import subprocess
import sys
import tempfile

WINE = os.environ.get("VARNELLO_WINE", "/usr/lib/wine/wine64")
WINESERVER = os.environ.get("VARNELLO_WINESERVER", "/usr/lib/wine/wineserver64")
ENV = dict(os.environ, WINEDEBUG="-all")
ENV.setdefault("WINEPREFIX", os.path.expanduser("~/.wine-varnello"))
LABELS = ["Windows", "zhuban", "BIOS", "cpuz", "xianka", "shengka", "wangka", "neicun", "yp"]

failures = []


def check(what, got, expected):
    if got != expected:
        failures.append(f"{what}: got {got!r}, expected {expected!r}")


def wine(*args, encoding="utf-8"):
    with tempfile.TemporaryFile() as out:
        subprocess.run([WINE, *args], env=ENV, stdin=subprocess.DEVNULL, stdout=out,
                       stderr=subprocess.DEVNULL, timeout=300)
        out.seek(0)
        out = out.read()
    return out.decode(encoding, errors="replace")


def wmic(cls, *props):
    """Rows of a WMI class as dicts, read by wmic's fixed-width columns."""
    text = wine("wmic", "path", cls, "get", ",".join(props), encoding="utf-16")
    lines = [l.rstrip("\r") for l in text.lstrip("\ufeff").split("\n") if l.strip()]
    if not lines or lines[0].startswith("Error"):
        return None
    header = lines[0]
    starts = []
    for p in props:
        i = header.lower().find(p.lower())
        assert i >= 0, (cls, p, header)
        starts.append(i)
    order = sorted(range(len(props)), key=lambda k: starts[k])
    rows = []
    for line in lines[1:]:
        row = {}
        for n, k in enumerate(order):
            end = starts[order[n + 1]] if n + 1 < len(order) else None
            row[props[k]] = line[starts[k]:end].rstrip()
        rows.append(row)
    return rows


def wine_major():
    """The major version of the Wine under test."""
    version = subprocess.run([WINE, "--version"], env=ENV, capture_output=True, text=True, timeout=60).stdout
    return int(version.split("-", 1)[1].split(".")[0])


def number_text(x):
    """A real in its shortest form of at most 15 significant digits."""
    if x == 0:
        return "0"
    s = "%.15G" % x
    if "E" in s:
        mantissa, exp = s.split("E")
        return f"{mantissa}E{exp[0]}{int(exp[1:]):02d}"
    return s


def disk_size_text(size):
    gigabytes = size / 1073741824
    if math.floor(gigabytes) == 0:
        return number_text(round(size / 1048576 * 100) / 100) + " MB"
    return number_text(round(gigabytes * 100) / 100) + " GB"


def main():
    survey_exe, cpuid_exe = sys.argv[1], sys.argv[2]
    # Output is read from files, not pipes: binding the winmgmts: moniker
    # leaves DLL surrogates (dllhost.exe) running under 32-bit Wine, and they
    # and the session's services hold the program's output open for as long
    # as they live. The session is ended below.
    subprocess.run([WINESERVER, "-w"], env=ENV, timeout=300)
    try:
        run_checks(survey_exe, cpuid_exe)
    finally:
        subprocess.run([WINESERVER, "-k"], env=ENV, timeout=60)


def run_checks(survey_exe, cpuid_exe):
    lines = wine(survey_exe).split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    print("\n".join(lines))

    # The order of the calls.
    check("first line", lines[0], "ShowNotice\t检测中请稍等……\t提示\t1")
    check("second line", lines[1], "SetProgressVisible\ttrue")
    check("second-last line", lines[-2], "SetProgressVisible\tfalse")
    check("last line", lines[-1], "ShowNotice\t检测完毕\t提示\t1")
    captions = [l.split("\t", 2) for l in lines[2:-2]]
    for c in captions:
        check("caption line form", (len(c), c[0]), (3, "SetCaption"))
    order = []
    for _, label, _ in captions:
        if not order or order[-1] != label:
            order.append(label)
    check("label order", order, LABELS)
    final = {label: text for _, label, text in captions}

    # Each label against independently read data.
    os_rows = wmic("Win32_OperatingSystem", "Caption")
    check("Windows", final.get("Windows"), "系统：" + os_rows[-1]["Caption"])
    board = wmic("Win32_BaseBoard", "Manufacturer", "Product")[-1]
    check("zhuban", final.get("zhuban"), board["Manufacturer"] + "型号:" + board["Product"])
    bios = wmic("Win32_BIOS", "Version")[-1]
    check("BIOS", final.get("BIOS"), "版本:" + bios["Version"])
    brand = wine(cpuid_exe).strip(" \0")
    check("cpuz", final.get("cpuz"), brand)
    check("xianka", final.get("xianka"), wmic("Win32_VideoController", "Description")[-1]["Description"])
    check("shengka", final.get("shengka"), wmic("Win32_SoundDevice", "ProductName")[-1]["ProductName"])

    # The label shows the name of the last adapter whose connection name
    # begins with 本地连接; a row without the property counts too. Which
    # rows count is Wine's to say: Wine 8 has no NetConnectionID at all, so
    # every adapter counts and the label shows the last one, the last of the
    # kernel's interfaces (loopback left out); Wine 10 has the property,
    # NULL on every row, so none counts and the label is empty.
    named = wmic("Win32_NetworkAdapter", "Name", "NetConnectionID")
    if named is None:
        check("only Wine 8 lacks NetConnectionID", wine_major() < 10, True)
        counted = [r["Name"] for r in wmic("Win32_NetworkAdapter", "Name")]
        interfaces = sorted(
            (int(open(f"/sys/class/net/{n}/ifindex").read()), n)
            for n in os.listdir("/sys/class/net")
            if n != "lo")
        check("the last adapter is the kernel's last interface", counted[-1:], [i[1] for i in interfaces[-1:]])
    else:
        counted = [r["Name"] for r in named if r["NetConnectionID"].startswith("本地连接")]
    check("wangka", final.get("wangka"), counted[-1] if counted else "")

    modules = wmic("Win32_PhysicalMemory", "Capacity")
    total = sum(int(m["Capacity"]) for m in modules)
    check("neicun", final.get("neicun"), f"{number_text(total / 1048576)} MB / {len(modules)}条")
    drive = wmic("Win32_DiskDrive", "Model", "Size")[-1]
    check("yp", final.get("yp"), disk_size_text(int(drive["Size"])) + " 型号:" + drive["Model"])

    # The JSON form carries the same final texts.
    check("--json", json.loads(wine(survey_exe, "--json")), {l: final.get(l, "") for l in LABELS})

    if failures:
        print("\n".join(["", "FAILED:"] + failures))
        sys.exit(1)
    print("\nsurvey matches the machine: 1 passed, 0 failed")


main()

#!/usr/bin/env python3
"""Reads built Windows programs without running them and checks that Windows XP
can load them: every function they import, at start or on first call, is one
that XP's system DLLs export (tests/xp_exports.txt), their headers ask for no
later Windows, and their manifest holds nothing XP's loader refuses.

usage: check_xp.py EXPORTS EXE... [--planted EXE DLL FUNCTION]...
       check_xp.py --list EXE

A planted program imports FUNCTION from DLL, which XP lacks; the check must
reject it, which proves that it catches such an import.
"""
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

from check_pe import Pe

# XP's side-by-side loader refuses a manifest with an element it does not know
# in its own namespace (other namespaces it skips), and XP SP2 and Server 2003
# before SP1 crash on an element that declares two namespaces (KB921337).
ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
XP_ASM_V1_ELEMENTS = {"assembly", "assemblyIdentity", "description", "dependency", "dependentAssembly",
                      "file", "noInherit", "comClass", "typelib", "windowClass",
                      "comInterfaceExternalProxyStub"}
COMPATIBILITY = "urn:schemas-microsoft-com:compatibility.v1"
VISTA = "{e2011457-1546-43c5-a5fe-008deee3d3f0}"

# Subsystem and operating-system version each machine's XP reports.
XP_VERSION = {0x14C: (5, 1), 0x8664: (5, 2)}


def delay_imported_functions(pe):
    """(dll, function) for every import loaded on first call. GNU ld leaves
    the delay-import directory empty, so its descriptors are found by their
    shape: attributes 1 (addresses as RVAs), then the RVAs of the DLL's name,
    its module handle, its address table and its name table."""
    found = set()

    def valid(rva):
        try:
            pe.offset(rva)
            return rva != 0
        except ValueError:
            return False

    for va, size, raw in pe.sections:
        for o in range(raw, raw + size - 32, 4):
            attributes, name, module, table, names = struct.unpack_from("<IIIII", pe.data, o)
            if attributes != 1 or not all(valid(r) for r in (name, module, table, names)):
                continue
            try:
                dll = pe.cstring(name)
            except (ValueError, UnicodeDecodeError):
                continue
            if not re.fullmatch(r"[A-Za-z0-9_.-]+\.dll", dll, re.IGNORECASE):
                continue
            found.update((dll.lower(), function) for function in pe.thunks(names))
    return sorted(found)


def all_imported_functions(pe):
    """(dll, function) for every import, loaded at start or on first call."""
    return sorted(set(pe.imported_functions()) | set(delay_imported_functions(pe)))


def header_versions(pe):
    """(operating system, subsystem) versions from the optional header."""
    pe_offset = struct.unpack_from("<I", pe.data, 0x3C)[0]
    os_major, os_minor, _, _, sub_major, sub_minor = struct.unpack_from("<6H", pe.data, pe_offset + 24 + 40)
    return (os_major, os_minor), (sub_major, sub_minor)


def manifest_faults(text):
    faults = []
    for tag in re.findall(r"<[A-Za-z][^>]*>", text):
        if len(re.findall(r"\sxmlns(?::\w+)?=", tag)) > 1:
            faults.append(f"element declares two namespaces: {tag}")
    root = ElementTree.fromstring(text)
    for element in root.iter():
        namespace, _, name = element.tag[1:].partition("}")
        if namespace == ASM_V1 and name not in XP_ASM_V1_ELEMENTS:
            faults.append(f"element {name} is not one XP knows in {ASM_V1}")
    supported = {e.get("Id", "").lower() for e in root.iter(f"{{{COMPATIBILITY}}}supportedOS")}
    if VISTA not in supported:
        faults.append("Windows Vista is not among the supported systems")
    return faults


def read_exports(path):
    exports = set()
    for line in open(path, encoding="utf-8"):
        line = line.split("#", 1)[0].split()
        if line:
            dll, function = line
            exports.add((dll.lower(), function))
    return exports


def program_faults(path, exports):
    """What would keep Windows XP from loading the program, one text each,
    and how many checks were made."""
    pe = Pe(open(path, "rb").read())
    imports = set(all_imported_functions(pe))
    faults = [f"{dll} {function} is not among XP's exports" for dll, function in sorted(imports - exports)]
    checks = len(imports) + 2
    wanted = XP_VERSION.get(pe.machine)
    os_version, subsystem_version = header_versions(pe)
    if wanted is None:
        faults.append(f"machine {pe.machine:#x} is not one XP runs")
    else:
        if subsystem_version != wanted:
            faults.append(f"subsystem version {subsystem_version}, XP needs {wanted}")
        if os_version > wanted:
            faults.append(f"operating system version {os_version}, XP is {wanted}")
    manifest = pe.resource(24) if pe.directories[2][0] else None  # RT_MANIFEST
    if manifest is not None:
        checks += 1
        faults.extend(f"manifest: {f}" for f in manifest_faults(manifest.decode("utf-8")))
    return faults, checks


def main(args):
    if args[0] == "--list":
        pe = Pe(open(args[1], "rb").read())
        for dll, function in all_imported_functions(pe):
            print(dll, function)
        return 0
    exports = read_exports(args[0])
    programs, planted = args[1:], []
    while "--planted" in programs:
        at = programs.index("--planted")
        planted.append(programs[at + 1:at + 4])
        programs = programs[:at] + programs[at + 4:]

    failures, checks = [], 0
    for path in programs:
        faults, made = program_faults(path, exports)
        failures.extend(f"{path}: {f}" for f in faults)
        checks += made
    for path, dll, function in planted:
        expected = f"{dll.lower()} {function} is not among XP's exports"
        checks += 1
        if expected in program_faults(path, exports)[0]:
            print(f"{path}: rejected, as it must be: {expected}")
        else:
            failures.append(f"{path} imports {dll} {function}, which XP lacks, yet passed the check")

    for f in failures:
        print("FAILED:", f)
    print(f"{checks - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

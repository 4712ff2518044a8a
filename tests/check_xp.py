#!/usr/bin/env python3
"""Reads built Windows programs without running them: every function they
import, at start or on first call, is one that Windows XP's system DLLs
export (tests/xp_exports.txt); their headers ask for no later Windows and
the subsystem they are built for; a window program loads only what its first
paint needs before its first line runs, and carries a manifest that holds
nothing XP's loader refuses.

usage: check_xp.py EXPORTS [--window EXE | --console EXE | --planted EXE DLL FUNCTION]...

A planted program imports FUNCTION from DLL, which XP lacks; the check must
reject it, which proves that it catches such an import.
"""
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

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
# OLE, Automation, the readers' bridge and the shell load on first call.
FIRST_PAINT_DLLS = ["gdi32.dll", "kernel32.dll", "msvcrt.dll", "user32.dll"]


class Pe:
    def __init__(self, path):
        self.data = data = open(path, "rb").read()
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        assert data[pe:pe + 4] == b"PE\0\0", "not a PE file"
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.pe32_plus = struct.unpack_from("<H", data, optional)[0] == 0x20B
        os_major, os_minor, _, _, sub_major, sub_minor = struct.unpack_from("<6H", data, optional + 40)
        self.os_version, self.subsystem_version = (os_major, os_minor), (sub_major, sub_minor)
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        directories = optional + (112 if self.pe32_plus else 96)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        table = optional + optional_size
        self.sections = []
        for i in range(sections):
            _, vsize, va, raw_size, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((va, max(vsize, raw_size), raw))

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError(hex(rva))

    def cstring(self, rva):
        o = self.offset(rva)
        return self.data[o:self.data.index(b"\0", o)].decode("ascii")

    def thunks(self, rva):
        """The functions named by an import table at `rva`: names, or '#n'."""
        size, ordinal_flag = (8, 1 << 63) if self.pe32_plus else (4, 1 << 31)
        o = self.offset(rva)
        while True:
            entry = struct.unpack_from("<Q" if self.pe32_plus else "<I", self.data, o)[0]
            if not entry:
                return
            yield f"#{entry & 0xFFFF}" if entry & ordinal_flag else self.cstring((entry & 0x7FFFFFFF) + 2)
            o += size

    def imported_functions(self):
        """(dll, function) for every import loaded at start."""
        found, o = [], self.offset(self.directories[1][0])
        while True:
            lookup, _, _, name, first_thunk = struct.unpack_from("<IIIII", self.data, o)
            if not (lookup or name or first_thunk):
                return found
            dll = self.cstring(name).lower()
            found.extend((dll, function) for function in self.thunks(lookup or first_thunk))
            o += 20

    def delay_imported_functions(self):
        """(dll, function) for every import loaded on first call. GNU ld leaves
        the delay-import directory empty, so its descriptors are found by their
        shape: attributes 1 (addresses as RVAs), then the RVAs of the DLL's
        name, its module handle, its address table and its name table."""
        def valid(rva):
            try:
                self.offset(rva)
            except ValueError:
                return False
            return rva != 0

        found = set()
        for _, size, raw in self.sections:
            for o in range(raw, raw + size - 32, 4):
                attributes, name, module, table, names = struct.unpack_from("<IIIII", self.data, o)
                if attributes != 1 or not all(valid(r) for r in (name, module, table, names)):
                    continue
                try:
                    dll = self.cstring(name)
                except (ValueError, UnicodeDecodeError):
                    continue
                if re.fullmatch(r"[A-Za-z0-9_.-]+\.dll", dll, re.IGNORECASE):
                    found.update((dll.lower(), function) for function in self.thunks(names))
        return found

    def manifest(self):
        """The text of the first RT_MANIFEST resource, or None."""
        base_rva = self.directories[2][0]
        if not base_rva:
            return None
        base = self.offset(base_rva)

        def first_entries(o):
            named, ids = struct.unpack_from("<HH", self.data, o + 12)
            return [struct.unpack_from("<II", self.data, o + 16 + 8 * i) for i in range(named + ids)]

        for ident, target in first_entries(base):
            if ident == 24:
                while target & 0x80000000:  # down the name and language levels
                    target = first_entries(base + (target & 0x7FFFFFFF))[0][1]
                data_rva, size = struct.unpack_from("<II", self.data, base + target)
                return self.data[self.offset(data_rva):self.offset(data_rva) + size].decode("utf-8")
        return None


def manifest_faults(text):
    faults = [f"element declares two namespaces: {tag}" for tag in re.findall(r"<[A-Za-z][^>]*>", text)
              if len(re.findall(r"\sxmlns(?::\w+)?=", tag)) > 1]
    root = ElementTree.fromstring(text)
    for element in root.iter():
        namespace, _, name = element.tag[1:].partition("}")
        if namespace == ASM_V1 and name not in XP_ASM_V1_ELEMENTS:
            faults.append(f"element {name} is not one XP knows in {ASM_V1}")
    if VISTA not in {e.get("Id", "").lower() for e in root.iter(f"{{{COMPATIBILITY}}}supportedOS")}:
        faults.append("Windows Vista is not among the supported systems")
    return faults


def program_faults(path, exports, kind):
    """What would keep Windows XP from loading the program, or make it
    another kind of program than `kind`, one text each."""
    pe = Pe(path)
    at_start = set(pe.imported_functions())
    faults = [f"{dll} {function} is not among XP's exports"
              for dll, function in sorted((at_start | pe.delay_imported_functions()) - exports)]
    wanted = XP_VERSION.get(pe.machine)
    if wanted is None:
        faults.append(f"machine {pe.machine:#x} is not one XP runs")
    else:
        if pe.subsystem_version != wanted:
            faults.append(f"subsystem version {pe.subsystem_version}, XP needs {wanted}")
        if pe.os_version > wanted:
            faults.append(f"operating system version {pe.os_version}, XP is {wanted}")
    if kind in ("window", "console") and pe.subsystem != {"window": 2, "console": 3}[kind]:
        faults.append(f"subsystem {pe.subsystem}, not a {kind} program")
    manifest = pe.manifest()
    if kind == "window":
        dlls = sorted({dll for dll, _ in at_start})
        if dlls != FIRST_PAINT_DLLS:
            faults.append(f"loads {dlls} before its first line, not {FIRST_PAINT_DLLS}")
        if manifest is None:
            faults.append("no manifest")
    if manifest:
        faults.extend(f"manifest: {f}" for f in manifest_faults(manifest))
    return faults


def main(args):
    exports = set()
    for line in open(args[0], encoding="utf-8"):
        words = line.split("#", 1)[0].split()
        if words:
            exports.add((words[0].lower(), words[1]))
    failures, checked, rest = [], 0, args[1:]
    while rest:
        checked += 1
        if rest[0] == "--planted":
            path, dll, function = rest[1:4]
            rest = rest[4:]
            expected = f"{dll.lower()} {function} is not among XP's exports"
            if expected not in program_faults(path, exports, "planted"):
                failures.append(f"{path} imports {dll} {function}, which XP lacks, yet passed the check")
            continue
        kind, path = rest[0][2:], rest[1]
        rest = rest[2:]
        failures.extend(f"{path}: {f}" for f in program_faults(path, exports, kind))
    for f in failures:
        print("FAILED:", f)
    print(f"{checked} programs read, {len(failures)} faults")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/env python3
"""Reads a built Windows program without running it: its machine type and
subsystem, the DLLs it imports (system ones only: the runtime is linked in),
and its version resource, which must carry the product's version texts.

usage: check_pe.py EXE i686|x86_64 [--console]

With --console the program is a console one without version information.
"""
import struct
import sys

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "ole32.dll", "oleaut32.dll",
               "msvcrt.dll", "advapi32.dll", "comctl32.dll", "shlwapi.dll", "oleacc.dll"}
EXPECTED_STRINGS = {
    "FileDescription": "一款检测电脑硬件的工具",
    "FileVersion": "1.00",
    "ProductName": "Varnello",
    "ProductVersion": "1.00",
    "InternalName": "Varnello v1.0",
    "OriginalFilename": "Varnello v1.0.exe",
}

failures = []
checks = 0


def check(what, got, expected):
    global checks
    checks += 1
    if got != expected:
        failures.append(f"{what}: got {got!r}, expected {expected!r}")


class Pe:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        assert data[pe:pe + 4] == b"PE\0\0", "not a PE file"
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        self.pe32_plus = magic == 0x20B
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        directories = optional + (112 if self.pe32_plus else 96)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            name, vsize, va, raw_size, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
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
        """The functions named by an import table at `rva`: names, or '#n'
        for an import by ordinal."""
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

    def imports(self):
        return sorted({dll for dll, _ in self.imported_functions()})

    def resource(self, type_id):
        """The data of the first resource of that type."""
        base_rva, _ = self.directories[2]
        base = self.offset(base_rva)

        def entries(o):
            named, ids = struct.unpack_from("<HH", self.data, o + 12)
            return [struct.unpack_from("<II", self.data, o + 16 + 8 * i) for i in range(named + ids)]

        for ident, target in entries(base):
            if ident == type_id:
                o = base + (target & 0x7FFFFFFF)
                while True:  # down the name and language levels
                    _, target = entries(o)[0]
                    if not target & 0x80000000:
                        data_rva, size = struct.unpack_from("<II", self.data, base + target)
                        start = self.offset(data_rva)
                        return self.data[start:start + size]
                    o = base + (target & 0x7FFFFFFF)
        return None


def version_value(block, key):
    """The value after `key` in a VS_VERSIONINFO block: key and value are
    NUL-terminated UTF-16, the value aligned to four bytes; None if absent."""
    name = (key + "\0").encode("utf-16-le")
    at = block.find(name)
    if at < 0 or at % 2:
        return None
    start = end = (at + len(name) + 3) & ~3
    while block[end:end + 2] not in (b"\0\0", b""):
        end += 2
    return block[start:end]


def main():
    path, arch = sys.argv[1], sys.argv[2]
    console = "--console" in sys.argv[3:]
    pe = Pe(open(path, "rb").read())
    check("machine", pe.machine, 0x14C if arch == "i686" else 0x8664)
    check("PE32+", pe.pe32_plus, arch != "i686")
    check("subsystem", pe.subsystem, 3 if console else 2)
    foreign = sorted(set(pe.imports()) - SYSTEM_DLLS)
    check("DLLs beyond the system's", foreign, [])
    if console:
        finish(path)
    # The window's first paint needs these alone; OLE, Automation, the
    # readers' bridge and the shell load on first call.
    check("DLLs loaded before the program's first line", sorted(set(pe.imports())),
          ["gdi32.dll", "kernel32.dll", "msvcrt.dll", "user32.dll"])

    block = pe.resource(16)  # RT_VERSION
    check("version resource present", block is not None, True)
    if block:
        at = block.find(struct.pack("<I", 0xFEEF04BD))
        fixed = struct.unpack_from("<13I", block, at) if at >= 0 else None
        check("file version", fixed and (fixed[2] >> 16, fixed[2] & 0xFFFF, fixed[3] >> 16, fixed[3] & 0xFFFF),
              (1, 0, 0, 0))
        check("product version", fixed and (fixed[4], fixed[5]), (0x10000, 0))
        for key, value in EXPECTED_STRINGS.items():
            text = version_value(block, key)
            check(key, text and text.decode("utf-16-le"), value)
        translation = version_value(block, "Translation")
        check("language Chinese (Simplified), Unicode", translation and struct.unpack("<2H", translation[:4]),
              (0x804, 1200))
    check("manifest present", pe.resource(24) is not None, True)
    check("icon present", pe.resource(14) is not None, True)
    finish(path)


def finish(path):
    for f in failures:
        print("FAILED:", f)
    print(f"{path}: {checks - len(failures)} passed, {len(failures)} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()

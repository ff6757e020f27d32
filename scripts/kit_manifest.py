#!/usr/bin/env python3
"""Manifest of a packed kit folder: every file with its size and SHA-256, and the exports of each
DLL with their ordinals, read from the PE export table.

  kit_manifest.py write DIR    writes DIR/MANIFEST.txt
  kit_manifest.py check DIR    exit 0 when every listed file has its size and hash and every
                               listed export sits at its ordinal; the problems otherwise
  kit_manifest.py compare DIR OBJDUMP
                               exit 0 when the export table read here matches what binutils'
                               objdump -p reports for every DLL of DIR

Lines: "file <size> <sha256> <path>" and "export <path> <ordinal> <name>".
"""
import hashlib
import os
import struct
import sys

MANIFEST = "MANIFEST.txt"


def pe_exports(data):
    """(ordinal, name) pairs of a PE image's named exports; a malformed image raises ValueError."""
    def u16(o):
        return struct.unpack_from("<H", data, o)[0]

    def u32(o):
        return struct.unpack_from("<I", data, o)[0]

    try:
        pe = u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        coff = pe + 4
        sections, opt_size = u16(coff + 2), u16(coff + 16)
        opt = coff + 20
        magic = u16(opt)
        dirs = opt + (96 if magic == 0x10B else 112 if magic == 0x20B else -1)
        if dirs < opt:
            raise ValueError("unknown optional header")
        export_rva = u32(dirs)
        table = opt + opt_size
        spans = [struct.unpack_from("<IIII", data, table + 40 * i + 8) for i in range(sections)]

        def offset(rva):
            for vsize, vaddr, rawsize, rawptr in spans:
                if vaddr <= rva < vaddr + max(vsize, rawsize):
                    return rva - vaddr + rawptr
            raise ValueError("address outside the sections")

        if export_rva == 0:
            return []
        e = offset(export_rva)
        base, functions, names = u32(e + 16), u32(e + 20), u32(e + 24)
        name_table, ordinal_table = offset(u32(e + 32)), offset(u32(e + 36))
        out = []
        for i in range(names):
            index = u16(ordinal_table + 2 * i)
            if index >= functions:
                raise ValueError("ordinal index beyond the address table")
            at = offset(u32(name_table + 4 * i))
            end = data.index(b"\0", at)
            out.append((base + index, data[at:end].decode("ascii")))
        return sorted(out)
    except (struct.error, IndexError) as error:
        raise ValueError("truncated image: %s" % error)


def files_of(root):
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")
            if path != MANIFEST:
                yield path


def write(root):
    lines = []
    for path in sorted(files_of(root)):
        with open(os.path.join(root, path), "rb") as f:
            data = f.read()
        lines.append("file %d %s %s" % (len(data), hashlib.sha256(data).hexdigest(), path))
        if path.lower().endswith(".dll"):
            for ordinal, name in pe_exports(data):
                lines.append("export %s %d %s" % (path, ordinal, name))
    with open(os.path.join(root, MANIFEST), "w") as f:
        f.write("\n".join(lines) + "\n")
    return 0


def check(root):
    problems = []
    files = 0
    exports = {}
    with open(os.path.join(root, MANIFEST)) as f:
        for number, line in enumerate(f, 1):
            fields = line.split()
            if not fields:
                continue
            if fields[0] == "file" and len(fields) == 4:
                files += 1
                size, digest, path = int(fields[1]), fields[2], fields[3]
                try:
                    with open(os.path.join(root, path), "rb") as g:
                        data = g.read()
                except OSError:
                    problems.append("missing: %s" % path)
                    continue
                if len(data) != size or hashlib.sha256(data).hexdigest() != digest:
                    problems.append("changed: %s" % path)
            elif fields[0] == "export" and len(fields) == 4:
                path, ordinal, name = fields[1], int(fields[2]), fields[3]
                if path not in exports:
                    try:
                        with open(os.path.join(root, path), "rb") as g:
                            exports[path] = set(pe_exports(g.read()))
                    except (OSError, ValueError) as error:
                        exports[path] = set()
                        problems.append("unreadable exports: %s (%s)" % (path, error))
                if (ordinal, name) not in exports[path]:
                    problems.append("export %s not at ordinal %d in %s" % (name, ordinal, path))
            else:
                problems.append("malformed line %d" % number)
    if files == 0:
        problems.append("no files listed")
    for p in problems:
        print(p)
    return 1 if problems else 0


def objdump_exports(objdump, path):
    """(ordinal, name) pairs from objdump -p: "Ordinal Base" and the [Ordinal/Name Pointer]
    table, whose bracketed numbers are ordinals less the base."""
    import re
    import subprocess
    text = subprocess.run([objdump, "-p", path], check=True, capture_output=True,
                          text=True).stdout
    base = re.search(r"^Ordinal Base\s+(\d+)", text, re.M)
    table = text.split("[Ordinal/Name Pointer] Table", 1)
    if not base or len(table) < 2:
        return []
    out = []
    for line in table[1].splitlines()[1:]:
        m = re.match(r"\s*\[\s*(\d+)\]\s+(\S+)\s*$", line)
        if not m:
            break
        out.append((int(base.group(1)) + int(m.group(1)), m.group(2)))
    return sorted(out)


def compare(root, objdump):
    problems = []
    dlls = [p for p in files_of(root) if p.lower().endswith(".dll")]
    for path in dlls:
        with open(os.path.join(root, path), "rb") as f:
            ours = pe_exports(f.read())
        theirs = objdump_exports(objdump, os.path.join(root, path))
        if ours != theirs or not ours:
            problems.append("%s: %d exports read, objdump lists %d" % (path, len(ours), len(theirs)))
    if not dlls:
        problems.append("no DLLs")
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "compare":
        sys.exit(compare(sys.argv[2], sys.argv[3]))
    if len(sys.argv) != 3 or sys.argv[1] not in ("write", "check"):
        sys.exit(__doc__)
    sys.exit(write(sys.argv[2]) if sys.argv[1] == "write" else check(sys.argv[2]))

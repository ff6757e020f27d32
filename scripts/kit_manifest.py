#!/usr/bin/env python3
"""Manifest of a packed kit folder: every file with its size and SHA-256, and the exports of each
DLL with their ordinals, read from the PE export table.

  kit_manifest.py write DIR    writes DIR/MANIFEST.txt
  kit_manifest.py check DIR    prints "ok: N files, M exports" and exits 0 when DIR holds
                               exactly the listed files, each with its size and hash, and every
                               listed export sits at its ordinal; otherwise one line per problem
                               (not a kit; a missing, changed or extra file; a missing or moved
                               export) and exit 1
  kit_manifest.py compare DIR OBJDUMP
                               exit 0 when the export table read here matches what binutils'
                               objdump -p reports for every DLL of DIR, and no DLL imports
                               SetupDi, the IP helper or COM automation

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


def inside(path):
    return not path.startswith("/") and ".." not in path.split("/")


def read_manifest(root):
    """(files, exports, problem): files maps path -> (size, sha256), exports maps path -> {name:
    ordinal}, in the manifest's order; problem names what makes ROOT not an unpacked kit."""
    if not os.path.isdir(root):
        return {}, {}, "not an unpacked kit: %s is not a folder" % root
    try:
        with open(os.path.join(root, MANIFEST)) as f:
            lines = f.read().splitlines()
    except OSError:
        return {}, {}, "not an unpacked kit: %s holds no %s" % (root, MANIFEST)
    except UnicodeDecodeError:
        return {}, {}, "not an unpacked kit: %s of %s is not text" % (MANIFEST, root)
    files, exports = {}, {}
    for number, line in enumerate(lines, 1):
        fields = line.split()
        if not fields:
            continue
        # Paths stay inside the kit.
        if len(fields) == 4 and not inside(fields[3] if fields[0] == "file" else fields[1]):
            return {}, {}, "not an unpacked kit: %s line %d names a path outside it" % (
                MANIFEST, number)
        try:
            if fields[0] == "file" and len(fields) == 4 and len(fields[2]) == 64:
                files[fields[3]] = (int(fields[1]), fields[2])
                continue
            if fields[0] == "export" and len(fields) == 4:
                exports.setdefault(fields[1], {})[fields[3]] = int(fields[2])
                continue
        except ValueError:
            pass
        return {}, {}, "not an unpacked kit: %s line %d is not a manifest line" % (MANIFEST, number)
    if not files:
        return {}, {}, "not an unpacked kit: %s of %s lists no files" % (MANIFEST, root)
    return files, exports, None


def check(root):
    """Prints one line per problem, or "ok: N files, M exports"; 0 when the kit is whole."""
    files, exports, problem = read_manifest(root)
    if problem:
        print(problem)
        return 1
    problems = []
    missing = set()
    for path, (size, digest) in files.items():
        try:
            with open(os.path.join(root, path), "rb") as g:
                data = g.read()
        except OSError:
            problems.append("missing file: %s" % path)
            missing.add(path)
            continue
        if len(data) != size:
            problems.append("changed file: %s (%d bytes, listed with %d)" % (path, len(data), size))
        elif hashlib.sha256(data).hexdigest() != digest:
            problems.append("changed file: %s (SHA-256 differs from the listed one)" % path)
    for path in sorted(set(files_of(root)) - set(files)):
        problems.append("extra file: %s" % path)
    for path, listed in exports.items():
        if path in missing:
            continue
        try:
            with open(os.path.join(root, path), "rb") as g:
                found = {name: ordinal for ordinal, name in pe_exports(g.read())}
        except (OSError, ValueError) as error:
            problems.append("unreadable exports: %s (%s)" % (path, error))
            continue
        for name, ordinal in listed.items():
            if name not in found:
                problems.append("missing export: %s of %s (listed at ordinal %d)" %
                                (name, path, ordinal))
            elif found[name] != ordinal:
                problems.append("moved export: %s of %s is at ordinal %d, listed at %d" %
                                (name, path, found[name], ordinal))
    for p in problems:
        print(p)
    if problems:
        return 1
    print("ok: %d files, %d exports" % (len(files), sum(len(e) for e in exports.values())))
    return 0


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


# SetupDi, the IP helper and COM automation (WMI) serve the adapter repair of KuvoAssist; a library
# that imported them would load them into every host.
PROGRAM_ONLY_IMPORTS = {"setupapi.dll", "iphlpapi.dll", "oleaut32.dll"}


def objdump_imports(objdump, path):
    """The DLL names of a PE image's import table, as objdump -p lists them."""
    import re
    import subprocess
    text = subprocess.run([objdump, "-p", path], check=True, capture_output=True,
                          text=True).stdout
    return re.findall(r"^\s*DLL Name:\s*(\S+)", text, re.M)


def compare(root, objdump):
    problems = []
    dlls = [p for p in files_of(root) if p.lower().endswith(".dll")]
    for path in dlls:
        with open(os.path.join(root, path), "rb") as f:
            ours = pe_exports(f.read())
        theirs = objdump_exports(objdump, os.path.join(root, path))
        if ours != theirs or not ours:
            problems.append("%s: %d exports read, objdump lists %d" % (path, len(ours), len(theirs)))
        for name in objdump_imports(objdump, os.path.join(root, path)):
            if name.lower() in PROGRAM_ONLY_IMPORTS:
                problems.append("%s imports %s, which only KuvoAssist may load" % (path, name))
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

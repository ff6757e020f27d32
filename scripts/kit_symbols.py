#!/usr/bin/env python3
"""Debug information of a packed kit's Windows binaries, kept apart from them.

  kit_symbols.py split KIT SYMBOLS OBJCOPY
      for every .dll and .exe below KIT: its debug information goes to SYMBOLS/<its path>.debug
      (objcopy --only-keep-debug); the binary is then stripped of symbols and debug sections and
      linked to that file by a .gnu_debuglink section (the file's name and CRC-32)
  kit_symbols.py check KIT SYMBOLS
      prints "ok: N binaries linked to their symbols" and exits 0 when every .dll and .exe below
      KIT carries no debug section and a .gnu_debuglink naming SYMBOLS/<its path>.debug with that
      file's CRC-32, and that file holds debug information; otherwise one line per problem and
      exit 1
"""
import os
import struct
import subprocess
import sys
import zlib

DEBUGLINK = ".gnu_debuglink"


def pe_sections(data):
    """{name: bytes} of a PE image's sections; long names ("/<offset>") are read from the COFF
    string table. A malformed image raises ValueError."""
    try:
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        coff = pe + 4
        count, symbols, symbol_count, opt_size = struct.unpack_from("<2xHxxxxIIH", data, coff)
        table = coff + 20 + opt_size
        strings = symbols + 18 * symbol_count
        sections = {}
        for i in range(count):
            header = table + 40 * i
            raw_name = data[header:header + 8].rstrip(b"\0")
            if raw_name.startswith(b"/") and symbols:
                at = strings + int(raw_name[1:])
                raw_name = data[at:data.index(b"\0", at)]
            raw_size, raw_pointer = struct.unpack_from("<II", data, header + 16)
            if raw_pointer + raw_size > len(data):
                raise ValueError("section beyond the end of the file")
            sections[raw_name.decode("ascii", "replace")] = data[raw_pointer:raw_pointer + raw_size]
        return sections
    except (struct.error, IndexError) as error:
        raise ValueError("truncated image: %s" % error)


def debuglink(section):
    """(file name, CRC-32) of a .gnu_debuglink section: the name, NUL, padding to 4, the CRC."""
    end = section.find(b"\0")
    if end <= 0:
        raise ValueError("no file name")
    at = (end + 4) & ~3
    if at + 4 > len(section):
        raise ValueError("no CRC")
    return section[:end].decode("utf-8", "replace"), struct.unpack_from("<I", section, at)[0]


def binaries(root):
    for folder, _, names in os.walk(root):
        for name in names:
            if name.lower().endswith((".dll", ".exe")):
                yield os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")


def split(kit, symbols, objcopy):
    for path in sorted(binaries(kit)):
        binary = os.path.join(kit, path)
        debug = os.path.join(symbols, path + ".debug")
        os.makedirs(os.path.dirname(debug), exist_ok=True)
        subprocess.run([objcopy, "--only-keep-debug", binary, debug], check=True)
        os.chmod(debug, 0o644)  # data for a debugger, not a program
        subprocess.run([objcopy, "--strip-all", "--add-gnu-debuglink=" + debug, binary],
                       check=True)
    return 0


def problems_of(kit, symbols, path):
    try:
        with open(os.path.join(kit, path), "rb") as f:
            sections = pe_sections(f.read())
    except (OSError, ValueError) as error:
        return ["unreadable binary: %s (%s)" % (path, error)]
    carried = sorted(n for n in sections if n.startswith(".debug"))
    if carried:
        return ["not stripped: %s carries %s" % (path, ", ".join(carried))]
    if DEBUGLINK not in sections:
        return ["no debug link: %s has no %s section" % (path, DEBUGLINK)]
    try:
        name, crc = debuglink(sections[DEBUGLINK])
    except ValueError as error:
        return ["malformed debug link: %s (%s)" % (path, error)]
    expected = os.path.basename(path) + ".debug"
    if name != expected:
        return ["debug link of %s names %s, not %s" % (path, name, expected)]
    debug_path = path + ".debug"
    try:
        with open(os.path.join(symbols, debug_path), "rb") as f:
            data = f.read()
    except OSError:
        return ["missing symbols: %s for %s" % (debug_path, path)]
    if zlib.crc32(data) != crc:
        return ["symbols do not match: %s has CRC-32 %08x, %s links %08x" %
                (debug_path, zlib.crc32(data), path, crc)]
    try:
        if not pe_sections(data).get(".debug_info"):
            return ["no debug information in %s" % debug_path]
    except ValueError as error:
        return ["unreadable symbols: %s (%s)" % (debug_path, error)]
    return []


def check(kit, symbols):
    found = sorted(binaries(kit))
    problems = [p for path in found for p in problems_of(kit, symbols, path)]
    if not found:
        problems.append("no binaries below %s" % kit)
    for p in problems:
        print(p)
    if problems:
        return 1
    print("ok: %d binaries linked to their symbols" % len(found))
    return 0


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "split":
        sys.exit(split(sys.argv[2], sys.argv[3], sys.argv[4]))
    if len(sys.argv) == 4 and sys.argv[1] == "check":
        sys.exit(check(sys.argv[2], sys.argv[3]))
    sys.exit(__doc__)

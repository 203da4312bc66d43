#!/usr/bin/env python3
"""Checks an archive with Python's zipfile against a manifest.

Manifest lines: name bytes in hex, "file" or "folder", method, size, external
attributes, source path.
The archive must list exactly these entries in this order, pass testzip, and
give back every file's bytes unchanged.
"""
import sys
import zipfile


def main(archive, manifest):
    with open(manifest, encoding="utf-8") as f:
        rows = [line.rstrip("\n").split("\t") for line in f if line.strip()]
    problems = []
    with zipfile.ZipFile(archive) as z:
        bad = z.testzip()
        if bad is not None:
            problems.append("testzip: first bad entry %r" % bad)
        infos = z.infolist()
        if len(infos) != len(rows):
            problems.append("%d entries, expected %d" % (len(infos), len(rows)))
        for info, (hexname, kind, method, size, external, source) in zip(infos, rows):
            # Without the UTF-8 flag the name was decoded as CP437: undo that to get the bytes.
            encoding = "utf-8" if info.flag_bits & 0x800 else "cp437"
            raw = info.orig_filename.encode(encoding)
            where = raw.decode("utf-8", "replace")
            if raw != bytes.fromhex(hexname):
                problems.append("name %r, expected %r" % (raw, bytes.fromhex(hexname)))
            if info.compress_type != int(method):
                problems.append("%s: method %d" % (where, info.compress_type))
            if info.file_size != int(size):
                problems.append("%s: size %d, expected %s" % (where, info.file_size, size))
            if info.external_attr != int(external):
                problems.append("%s: attributes %08x, expected %08x"
                                % (where, info.external_attr, int(external)))
            if info.is_dir() != (kind == "folder"):
                problems.append("%s: folder flag wrong" % where)
            if kind == "file":
                with open(source, "rb") as src:
                    expected = src.read()
                if z.read(info) != expected:
                    problems.append("%s: content differs from %s" % (where, source))
    for p in problems:
        print("zipfile: " + p)
    print("zipfile: %s, %d entries, %s" % (archive, len(rows), "FAILED" if problems else "ok"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))

#!/usr/bin/env python3
"""Checks one scan run from outside: the rows read from the real list view,
the end message, the archive on the desktop (through unzip, 7-Zip and
Python's zipfile) and the report inside it.

Usage: scan_check.py <rows-file> <archive> <variant> <tech> <client> <remark> [cancel]
(texts as typed, "\\n" standing for a new line)
"""
import re
import subprocess
import sys
import zipfile

problems = []


def check(condition, text):
    if not condition:
        problems.append(text)


def rows_of(path):
    rows, message, dialog = [], None, None
    with open(path, encoding="utf-8") as f:
        for line in f:
            parts = line.rstrip("\r\n").split("\t")
            if parts[0] == "MESSAGE":
                message = parts[1].replace("\\n", "\n")
            elif parts[0] == "DIALOG":
                dialog = parts[1]
            elif len(parts) == 4:
                rows.append(parts)
    return rows, message, dialog


def check_rows(rows, variant):
    actions = [r[1] for r in rows]
    check(actions and actions[0] == "Cleaning old files", "first row %r" % actions[:1])
    check(len(rows) > 3 and rows[-1][1:3] == ["Scan complete", "OK"], "last row %r" % rows[-1:])
    check(re.fullmatch(r"Elapsed time : \d\d:\d\d:\d\d", rows[-1][3] if rows else ""),
          "elapsed time %r" % (rows[-1][3] if rows else None))
    check(len(rows) > 3 and rows[-2][1] == "Cleaning old files", "second cleaning row")
    def has(icon, action, status, comment=None):
        return any(r[0] == str(icon) and r[1] == action and r[2] == status
                   and (comment is None or r[3] == comment) for r in rows)
    # The system-information attempts: both shell folders exist under Wine and
    # the program never answers in time, so two rows, the last one failed.
    calls = [r for r in rows if r[1].startswith("Call to ") and r[1].endswith("\\MsInfo32")]
    check(len(calls) == 2, "msinfo attempt rows %r" % calls)
    check(calls and calls[-1][2:] == ["Failed", "Not found: msinfo32.exe"],
          "last msinfo attempt %r" % calls[-1:])
    check(any(r[1] == "msinfo32.exe" and r[2] == "Time" for r in rows), "msinfo time row")
    check(has(3, "Compressing files", "OK"), "archive row")
    osc = ["Compressing patients oscilloscopes", "Compressing oscilloscopes",
           "Compressing thumbnails"]
    if variant == "medical":
        check(not any(a in actions for a in osc), "medical product ran the image steps")
    else:
        check(all(has(3, a, "OK") for a in osc), "image archive steps")
    if variant in ("no-ini", "none"):
        check(has(4, "Images Directory", "Failed", "Not found"), "no images-folder row")
        check(has(4, "Testing R/W on ", "Failed"), "read/write row of the empty folder")
    else:
        check(has(1, "Testing R/W on C:\\VARNIK\\Images\\", "OK"), "read/write row")
        check(has(1, "Collecting files", "Processing"), "collecting row")
    if variant == "none":
        check(has(0, "Application Path", "Failed"), "no installation row")
    else:
        check(any(r[1] == "Application Path" and r[2] == "OK" for r in rows), "installation row")


def check_archive(archive, variant, tech, client, remark):
    for command in (["unzip", "-tqq", archive], ["7zz", "t", archive]):
        result = subprocess.run(command, capture_output=True, text=True)
        check(result.returncode == 0, "%s: %s" % (command[0], result.stdout[-300:]))
    with zipfile.ZipFile(archive) as z:
        check(z.testzip() is None, "zipfile testzip")
        names = [i.filename for i in z.infolist()]
        # Layout: working-folder files, patients' oscilloscopes, Oscillos, Thumbnails.
        def group(name):
            if "/" not in name:
                return 0
            if name.startswith("Oscillos/"):
                return 2
            if name.startswith("Thumbnails/"):
                return 3
            return 1
        groups = [group(n) for n in names]
        check(groups == sorted(groups), "entry order %r" % names)
        root = [n for n in names if "/" not in n]
        for must in ("Report.txt", "Report.log", "Enum.reg", "DxDiag.txt"):
            check(must in root, "%s missing at the root" % must)
        if variant == "medical":
            check(all("/" not in n for n in names), "image folders archived: %r" % names)
        if variant in ("none", "no-ini"):
            # No images folder: only the (empty) thumbnail folder entry.
            check([n for n in names if "/" in n] == ["Thumbnails/"], "folders %r" % names)
        if variant == "standard":
            for must in ("0012/", "0012/Osc/", "0012/Osc/IMAGE OSC.DAT", "0003/image osc.dat",
                         "Oscillos/2015-03-12/Shot01.osc", "Thumbnails/", "Thumbnails/List.html",
                         "ACQ2015.idx", "OPT2021.log"):
                check(must in names, "%s missing" % must)
            check(not any(n.startswith("Oscillos/Oscillos.txt") for n in names),
                  "file directly in Oscillos archived")
            check(sum(n.startswith("Thumbnails/Patient_No") for n in names) > 0, "no thumbnail")
        report = z.read("Report.txt")
    check(report[:2] == b";\x00", "report starts %r" % report[:4])
    text = report.decode("utf-16-le")
    order = ["[VERSION]", "[ACTIONS]", "[DEVICES]", "[FILES]", "[DLL]", "[EXE]", "[TESTS]",
             "[FORM]", "[INI FILE]"]
    at = [text.find("\r\n" + s + "\r\n") for s in order]
    check(all(a >= 0 for a in at) and at == sorted(at), "sections %r" % list(zip(order, at)))
    form = ("[FORM]\r\nTechName=%s\r\nClientName=%s\r\nDeviceType=\r\nDeviceNum=\r\n"
            "DockType=\r\nDockNum=\r\nGenBrand=\r\nGenModel=\r\nManagingSoft=\r\n"
            "ImagingSoft=\r\nRemark=%s\r\n\r\n[INI FILE]\r\n" % (tech, client, remark))
    check(form in text, "form lines not as typed:\n%r" % text[text.find("[FORM]"):][:400])
    if variant == "medical":
        check(text.endswith("[TECH SETTINGS]\r\nMedical version: No technical settings!\r\n"),
              "medical technical settings")
    if variant in ("no-ini", "none"):
        check(text.endswith("[INI FILE]\r\nFileName not found.\r\n"), "missing settings file")


def main():
    rows_file, archive, variant, tech, client, remark = sys.argv[1:7]
    cancel = len(sys.argv) > 7
    unescape = lambda s: s.replace("\\n", "\r\n")
    rows, message, dialog = rows_of(rows_file)
    check_rows(rows, variant)
    check(message is not None and message.startswith(
        "Scan complete.\nA ZIP file has been generated on the desktop.\n\n"
        "Please send this file at: "), "end message %r" % message)
    if cancel:
        check(dialog == "hidden", "dialog still shown after Cancel")
    check_archive(archive, variant, unescape(tech), unescape(client), unescape(remark))
    for p in problems:
        print("scan_check: " + p)
    print("scan_check: %s %s, %d rows: %s" % (variant, "cancelled" if cancel else "",
                                              len(rows), "FAILED" if problems else "ok"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

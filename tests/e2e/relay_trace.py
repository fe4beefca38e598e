#!/usr/bin/env python3
"""Reads Wine's relay trace of a run and prints what the program's main thread did.

  relay_trace.py TRACE EXE_NAME

TRACE is Wine's stderr with the channels +relay and +loaddll (+timestamp optional). The main
thread is the one that loaded EXE_NAME; the program's own code is its image (the 256 MiB from the
load address on). One line per event of that thread, fields separated by tabs:

  MS  call     FUNCTION  CALLER  ARGUMENT...   a relayed call, e.g. user32.SetTimer
  MS  return   FUNCTION  CALLER  RETVAL        its return
  MS  message  MSG       -       HWND WP LP    a message handed to a window procedure (WM_TIMER)

MS is the timestamp in milliseconds (empty without +timestamp); CALLER is "own" when the return
address lies in the program's image, else "other". Numbers stay as Wine prints them
(hexadecimal, without 0x); a string argument is its text between L"...", escapes as printed
(a CR LF stands as \\r\\n). Exits 1 with a message when the trace does not show EXE_NAME loaded.
"""

import re
import sys

kImageSpan = 0x10000000

kPrefix = re.compile(r"^(?:(\d+)\.(\d+):)?([0-9a-f]+):(.*)$")
kLoaded = re.compile(r'trace:loaddll:\S* Loaded L"(.*)" at ([0-9a-f]+)')
kCall = re.compile(r"^Call (\w+\.\w+)\((.*)\) ret=([0-9a-f]+)$")
kReturn = re.compile(r"^Ret  (\w+\.\w+)\(.*\) retval=([0-9a-f]+) ret=([0-9a-f]+)$")
# Wine writes a window handle in upper-case hex here (hwnd=000000000001005A), the rest in lower.
kMessage = re.compile(
    r"^Call window proc \S+ \(hwnd=([0-9a-fA-F]+),msg=(\w+),wp=([0-9a-fA-F]+),lp=([0-9a-fA-F]+)\)")
kArgument = re.compile(r'([0-9a-f]+)(?: L"((?:[^"\\]|\\.)*)")?(?:,|$)')


def arguments(text):
    return [m.group(2) if m.group(2) is not None else m.group(1) for m in kArgument.finditer(text)]


def main():
    trace_path, exe_name = sys.argv[1], sys.argv[2]
    with open(trace_path, "rb") as file:
        lines = file.read().decode("utf-8", "replace").splitlines()

    thread = base = None
    for line in lines:
        prefix = kPrefix.match(line)
        loaded = prefix and kLoaded.search(prefix.group(4))
        if loaded and loaded.group(1).split("\\")[-1] == exe_name:
            thread, base = prefix.group(3), int(loaded.group(2), 16)
            break
    if thread is None:
        sys.exit("relay_trace: the trace does not show %s being loaded" % exe_name)

    def caller(address):
        return "own" if base <= int(address, 16) < base + kImageSpan else "other"

    for line in lines:
        prefix = kPrefix.match(line)
        if not prefix or prefix.group(3) != thread:
            continue
        seconds, fraction = prefix.group(1), prefix.group(2)
        ms = str(int(seconds) * 1000 + int(fraction[:3].ljust(3, "0"))) if seconds else ""
        event = prefix.group(4)
        if match := kCall.match(event):
            fields = ["call", match.group(1), caller(match.group(3))] + arguments(match.group(2))
        elif match := kReturn.match(event):
            fields = ["return", match.group(1), caller(match.group(3)), match.group(2)]
        elif match := kMessage.match(event):
            hwnd, wp, lp = (match.group(i).lower() for i in (1, 3, 4))
            fields = ["message", match.group(2), "-", hwnd, wp, lp]
        else:
            continue
        print("\t".join([ms] + fields))


if __name__ == "__main__":
    main()

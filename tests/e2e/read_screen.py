#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Reads a running program through AT-SPI, as a screen reader does, and prints one line
per accessible object: depth, role, name and description, separated by tabs (with the
object's text where it has one and it differs from its name).

usage: read_screen.py PID [SECONDS]   waits up to SECONDS (default 10) for the program
"""
import sys
import time

import pyatspi


def find_app(pid, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            try:
                if app is not None and app.get_process_id() == pid and app.childCount > 0:
                    return app
            except Exception:
                continue
        time.sleep(0.2)
    return None


def text_of(obj):
    try:
        text = obj.queryText()
        return text.getText(0, text.characterCount)
    except NotImplementedError:
        return None
    except Exception:
        return None


def walk(obj, depth, out):
    try:
        role = obj.getRoleName()
        name = obj.name or ""
        description = obj.description or ""
    except Exception:
        return
    line = f"{depth}\t{role}\t{name}\t{description}"
    text = text_of(obj)
    if text is not None and text != name:
        line += f"\ttext={text}"
    out.append(line.replace("\n", "\\n"))
    for i in range(obj.childCount):
        child = obj.getChildAtIndex(i)
        if child is not None:
            walk(child, depth + 1, out)


def main():
    pid = int(sys.argv[1])
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10
    app = find_app(pid, seconds)
    if app is None:
        print(f"no accessible application with process id {pid}", file=sys.stderr)
        return 1
    out = []
    walk(app, 0, out)
    print("\n".join(out))
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Prints what the accessibility bus shows of one program (by its process id): one line per
object, its role, name and description separated by tabs, top-level windows first. Exit code 3
when the program is not on the bus, 4 when pyatspi is missing."""
import sys

try:
    import pyatspi
except ImportError:
    sys.exit(4)


def walk(node, depth):
    if node is None or depth > 12:
        return
    try:
        role, name, desc = node.getRoleName(), node.name or "", node.description or ""
    except Exception:
        return
    print("\t".join(s.replace("\t", " ").replace("\n", " ") for s in (role, name, desc)))
    for i in range(node.childCount):
        try:
            walk(node.getChildAtIndex(i), depth + 1)
        except Exception:
            pass


def main():
    pid = int(sys.argv[1])
    found = False
    for app in pyatspi.Registry.getDesktop(0):
        try:
            if app is None or app.get_process_id() != pid:
                continue
        except Exception:
            continue
        found = True
        walk(app, 0)
    sys.exit(0 if found else 3)


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Waits, over the AT-SPI bus, until the picture of the running program's
window has an accessible description matching PATTERN; prints it. Exits 1
after SECONDS without one.
    read_description.py APP_NAME PATTERN SECONDS"""
import re
import sys
import time

import pyatspi


def picture(app_name):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == app_name:
            return pyatspi.findDescendant(app, lambda o: o.getRole() == pyatspi.ROLE_IMAGE)
    return None


def main():
    app_name, pattern, seconds = sys.argv[1], re.compile(sys.argv[2]), float(sys.argv[3])
    deadline = time.monotonic() + seconds
    seen = None
    while time.monotonic() < deadline:
        try:
            image = picture(app_name)
            seen = image.description if image is not None else None
        except Exception as error:  # the program may still be starting
            seen = "(%s)" % error
        if seen and pattern.search(seen):
            print("%s: %s" % (image.name, seen))
            return 0
        time.sleep(0.1)
    print("no description matching %r; last seen: %r" % (pattern.pattern, seen), file=sys.stderr)
    return 1


sys.exit(main())

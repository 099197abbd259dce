#!/usr/bin/python3
"""Follows a program as a screen reader does: listens on the AT-SPI bus for
every change of an accessible description, then starts COMMAND and runs the
steps in order. Each change arrives as an event and waits in the queue until
a step reads it, so a state that shows only for a moment is never missed.
    describe_events.py STEP... -- COMMAND...
Steps:
    shows:PATTERN wait until the description the program shows now matches
                  the regular expression PATTERN (for a state that lasts:
                  the program may set it before its bridge hears of us)
    see:PATTERN   wait until a description heard (from the last one consumed
                  on) matches PATTERN
    focus:TITLE   give the window named TITLE the keyboard focus
    keys:K1 K2..  type the keys (xdotool key names)
Exits 0 when every step held, 1 at the first that did not, within
STEP_SECONDS (default 60) per step. APP_NAME (default gravimo-demo) names
the program on the bus."""
import collections
import os
import re
import subprocess
import sys

import pyatspi
from gi.repository import GLib

APP_NAME = os.environ.get("APP_NAME", "gravimo-demo")
STEP_SECONDS = float(os.environ.get("STEP_SECONDS", "60"))
POLL_MS = 20

descriptions = collections.deque()
last_seen = None


def on_description(event):
    descriptions.append(str(event.any_data))


def see(pattern):
    global last_seen
    expression = re.compile(pattern)
    while descriptions:
        last_seen = descriptions.popleft()
        print("description: %s" % last_seen, flush=True)
        if expression.search(last_seen):
            return True
    return False


def shows(pattern):
    global last_seen
    try:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == APP_NAME:
                image = pyatspi.findDescendant(app, lambda o: o.getRole() == pyatspi.ROLE_IMAGE)
                if image is not None:
                    image.clear_cache()  # else the first answer is kept for good
                    last_seen = image.description
    except Exception as error:  # the program may still be starting
        print("not yet: %s" % error, flush=True)
    return last_seen is not None and re.search(pattern, last_seen) is not None


def focus(title):
    window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", title],
                            capture_output=True, text=True, check=True).stdout.split()[0]
    subprocess.run(["xdotool", "mousemove", "--window", window, "1", "1",
                    "windowfocus", "--sync", window], check=True)
    return True


def keys(names):
    subprocess.run(["xdotool", "key", "--delay", "100"] + names.split(), check=True)
    return True


class Steps:
    def __init__(self, steps):
        self.steps = collections.deque(steps)
        self.failed = None
        self.deadline = None

    def run(self):
        """One turn of the main loop: does what can be done now."""
        while self.steps:
            verb, _, argument = self.steps[0].partition(":")
            now = GLib.get_monotonic_time()
            if self.deadline is None:
                self.deadline = now + int(STEP_SECONDS * 1e6)
                print("step: %s" % self.steps[0], flush=True)
            if verb == "shows":
                done = shows(argument)
            elif verb == "see":
                done = see(argument)
            elif verb == "focus":
                done = focus(argument)
            elif verb == "keys":
                done = keys(argument)
            else:
                return self.stop("step not understood: %s" % self.steps[0])
            if not done:
                if now > self.deadline:
                    return self.stop("no description matching %r within %g s; last seen: %r"
                                     % (argument, STEP_SECONDS, last_seen))
                return True
            self.steps.popleft()
            self.deadline = None
        pyatspi.Registry.stop()
        return False

    def stop(self, why):
        self.failed = why
        pyatspi.Registry.stop()
        return False


def main():
    split = sys.argv.index("--")
    steps, command = Steps(sys.argv[1:split]), sys.argv[split + 1:]
    pyatspi.Registry.registerEventListener(
        on_description, "object:property-change:accessible-description")
    program = subprocess.Popen(command)
    GLib.timeout_add(POLL_MS, steps.run)
    try:
        pyatspi.Registry.start()
    finally:
        program.terminate()
        program.wait()
    if steps.failed:
        print("FAILED: %s" % steps.failed, file=sys.stderr)
        return 1
    return 0


sys.exit(main())

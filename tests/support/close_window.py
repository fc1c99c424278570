#!/usr/bin/env python3
"""Asks the X window titled TITLE to close, as a window manager's close button does
(a WM_DELETE_WINDOW message), again each second until it has gone. Waits up to 60 s
for the window to appear: a busy machine may take long to start the program.
Usage: close_window.py TITLE (DISPLAY names the X server). Exit 1 when not found."""
import sys
import time

from Xlib import X, display, protocol


def find(window, title):
    try:
        if window.get_wm_name() == title:
            return window
        for child in window.query_tree().children:
            found = find(child, title)
            if found is not None:
                return found
    except Exception:  # a window that went away while we looked
        pass
    return None


def main():
    title = sys.argv[1]
    screen = display.Display()
    root = screen.screen().root
    target = None
    deadline = time.monotonic() + 60
    while True:
        target = find(root, title)
        if target is not None or time.monotonic() > deadline:
            break
        time.sleep(0.1)
    if target is None:
        print(f"no window titled {title!r}", file=sys.stderr)
        return 1
    protocols = screen.intern_atom("WM_PROTOCOLS")
    delete = screen.intern_atom("WM_DELETE_WINDOW")
    # A close asked before the program is ready for it can be lost (seen on a busy
    # machine): ask again each second until the window has gone.
    while True:
        message = protocol.event.ClientMessage(window=target, client_type=protocols,
                                               data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        try:
            target.send_event(message)
            screen.flush()
        except Exception:  # the window went away meanwhile
            return 0
        asked = time.monotonic()
        while time.monotonic() - asked < 1:
            if find(root, title) is None:
                return 0
            time.sleep(0.1)
        if time.monotonic() > deadline + 60:
            print(f"the window titled {title!r} did not close", file=sys.stderr)
            return 1

if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""Walks the demo program's flow as a screen-reader user does: the program's accessible tree and
events through AT-SPI (pyatspi), the keyboard through xdotool, no mouse. Prints PASS or FAIL
for each check and exits non-zero when one failed.

Usage: accessibility-flow.py CAPTURE TARGET NOTIFICATIONS_LOG LISTENING
  CAPTURE            the demo's capture file (enlarged before the save, to see the progress)
  TARGET             the CSV file to save into (must not exist)
  NOTIFICATIONS_LOG  what the notification server of the session was told, one line each
  LISTENING          made once the events are listened to: the program may start then
"""

import os
import re
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

capture, target, notifications, listening = sys.argv[1:5]
MAIN_TITLE = "Zorvik Technologies Verada Rede"
failures = 0
events = []  # (time, type, role, name, text) as the program sent them


def check(what, ok, detail=""):
    global failures
    print(("PASS" if ok else "FAIL") + ": " + what + ("" if ok else ": " + str(detail)), flush=True)
    if not ok:
        failures += 1


def pump(seconds):
    """Lets the events that arrived be heard, for that long."""
    end = time.time() + seconds
    context = GLib.MainContext.default()
    while time.time() < end:
        while context.pending():
            context.iteration(False)
        time.sleep(0.02)


def until(condition, seconds):
    end = time.time() + seconds
    while time.time() < end:
        pump(0.1)
        try:
            value = condition()
        except Exception:  # an object that went away while it was looked at
            value = None
        if value:
            return value
    return None


def key(*keys):
    subprocess.run(["xdotool", "key", "--clearmodifiers", *keys], check=False)


def activate(title):
    """Gives the keyboard to the visible window of that title, as a click on it would."""
    subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^" + title + "$",
                    "windowactivate", "--sync"], check=False, stderr=subprocess.DEVNULL)


def on_event(event):
    try:
        source = event.source
        events.append((time.time(), event.type, source.getRoleName(), source.name,
                       str(event.any_data) if event.any_data is not None else ""))
    except Exception:
        pass


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == "Verada Rede":
            return app
    return None


def descendants(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from descendants(child)


def find(node, role=None, name=None, showing=None):
    for item in descendants(node):
        if role is not None and item.getRoleName() != role:
            continue
        if name is not None and not (name(item.name) if callable(name) else item.name == name):
            continue
        if showing is not None and \
                item.getState().contains(pyatspi.STATE_SHOWING) != showing:
            continue
        return item
    return None


def window(title):
    app = application()
    if app is None:
        return None
    for i in range(app.childCount):
        top = app.getChildAtIndex(i)
        if top is not None and top.name == title and \
                top.getState().contains(pyatspi.STATE_SHOWING):
            return top
    return None


def question():
    """The message box the program asks with: (its text, the name of its default button)."""
    app = application()
    for i in range(app.childCount):
        top = app.getChildAtIndex(i)
        if top is None or top.name != "Verada Rede" or \
                not top.getState().contains(pyatspi.STATE_SHOWING):
            continue
        label = find(top, role="label", name=lambda n: "not been saved" in n)
        if label is None:
            continue
        default = [b.name for b in descendants(top) if b.getRoleName() == "push button" and
                   b.getState().contains(pyatspi.STATE_IS_DEFAULT)]
        focused = [b.name for b in descendants(top) if b.getRoleName() == "push button" and
                   b.getState().contains(pyatspi.STATE_FOCUSED)]
        return label.name, default, focused
    return None


def dump(node, depth=0):
    """The tree under node, one object a line, for a failure's detail."""
    lines = []
    for item in [node]:
        lines.append("  " * depth + "%s %r %r" % (item.getRoleName(), item.name, item.description))
        for i in range(item.childCount):
            child = item.getChildAtIndex(i)
            if child is not None:
                lines.extend(dump(child, depth + 1))
    return lines


def answer_times(app, calls=30):
    times = []
    for _ in range(calls):
        started = time.time()
        _ = app.childCount, app.name
        times.append(time.time() - started)
        time.sleep(0.05)
    return times


for kind in ("object:property-change:accessible-name",
             "object:property-change:accessible-description",
             "object:value-changed", "object:state-changed:focused", "window:activate"):
    pyatspi.Registry.registerEventListener(on_event, kind)

open(listening, "w").close()

# --- in the tray, before and while the adapter comes -------------------------------------------
app = until(application, 20)
check("the program is on the accessibility bus", app is not None)
if app is None:
    sys.exit(1)
picture_names = lambda: {e[3] for e in events if e[2] == "image" and "accessible-name" in e[1]}

main = until(lambda: window(MAIN_TITLE), 30)
check("the window comes up after the transfer", main is not None)
if main is None:
    sys.exit(1)
pump(0.5)
names = picture_names()
check("the status picture is named in each state it showed",
      {"No adapter", "Adapter connected", "Receiving", "Paused"} <= names, sorted(names))
picture = find(main, role="image")
check("the status picture says the state in a sentence", picture is not None and
      picture.name == "Paused" and "paused" in picture.description,
      picture and (picture.name, picture.description))
save = find(main, role="push button", name="Save")
heard = [e for e in events if "accessible-description" in e[1] and e[3] == "Save"]
check("the arrival is heard: \"Received N reports ...; not saved yet.\" on Save and the window",
      heard and save.description.startswith("Received 397 reports") and
      "Received 397 reports" in main.description, (len(heard), save.description))
controls = sorted((c.getRoleName(), c.name) for c in descendants(main)
                  if c.getRoleName() in ("push button", "menu item", "image"))
check("every control of the main window has a name",
      controls == [("image", "Paused"), ("menu item", "About"), ("push button", "Exit"),
                   ("push button", "Save")], controls)
focused = find(main, role="push button", name="Save")
check("the focus starts on Save", focused is not None and
      focused.getState().contains(pyatspi.STATE_FOCUSED))

# --- About ------------------------------------------------------------------------------------
activate(MAIN_TITLE)
key("alt+a")
about = until(lambda: window("About Verada Rede"), 10)
about_names = about and sorted((c.getRoleName(), c.name) for c in descendants(about)
                               if c.getRoleName() in ("push button", "image", "label"))
check("the About box's logo, labels and button have names",
      about_names == [("image", "Verada Rede logo"), ("label", "Verada Rede"),
                      ("label", "Version 1.0.2"), ("push button", "OK")], about_names)
key("Escape")
check("Esc closes the About box", until(lambda: window("About Verada Rede") is None, 10))

# --- the two questions ------------------------------------------------------------------------
pump(2)  # past the time in which the program takes a state change as its own request's echo
activate(MAIN_TITLE)
subprocess.run(["xdotool", "getactivewindow", "windowminimize"], check=False)
asked = until(question, 10)
check("minimising with unsaved data asks, with No the default and focused",
      asked is not None and "discard" in asked[0] and asked[1] == ["No"] and asked[2] == ["No"],
      asked or "\n".join(dump(application())))
key("Return")
check("Enter answers No: the window comes back and the data stays",
      until(lambda: window(MAIN_TITLE), 10) is not None and os.path.exists(capture))
activate(MAIN_TITLE)
key("alt+F4")
asked = until(question, 10)
check("closing with unsaved data asks, with No the default and focused",
      asked is not None and "exit" in asked[0] and asked[1] == ["No"] and asked[2] == ["No"],
      asked)
key("Escape")
check("Esc answers No: the program stays with its data",
      until(lambda: question() is None and window(MAIN_TITLE), 10) is not None and
      os.path.exists(capture))

# --- the save ---------------------------------------------------------------------------------
with open(capture, "r+b") as f:  # large enough for the progress to be read on its way
    data = f.read()
    f.write(data * 12000)
main = until(lambda: window(MAIN_TITLE), 5)
save = find(main, role="push button", name="Save")
save.queryComponent().grabFocus()
until(lambda: save.getState().contains(pyatspi.STATE_FOCUSED), 5)
key("Return")
dialog = until(lambda: window("Save CSV file ..."), 10)
check("Enter on the focused Save opens the save dialog", dialog is not None)
activate(r"Save CSV file \.\.\.")
subprocess.run(["xdotool", "type", "--delay", "2", target], check=False)
key("Return")
progress = until(lambda: window("Saving File. Please wait..."), 20)
check("the progress window is on the tree while it shows", progress is not None)
values, statuses, slowest, name = [], [], 0.0, None
while progress is not None:
    started = time.time()
    try:
        bar = find(progress, role="progress bar")
        label = find(progress, role="label")
        if bar is None or label is None:
            break
        value, status, name = bar.queryValue().currentValue, label.name, name or bar.name
        if not progress.getState().contains(pyatspi.STATE_SHOWING):
            break  # unloaded while it was read
        values.append(value)
        statuses.append(status)
    except Exception:
        break
    slowest = max(slowest, time.time() - started)
    pump(0.05)
check("the progress bar is named and its value read on its way",
      name == "Saving progress" and len(set(values)) >= 2, (name, values[:5], len(values)))
check("the status text is read on its way",
      len(set(statuses)) >= 2 and all("completed" in s for s in statuses),
      [s for s in statuses if "completed" not in s] or statuses[:3])
check("the program answers promptly while it saves (slowest walk < 0.5 s)", slowest < 0.5,
      "%.3f s" % slowest)
done = until(lambda: not os.path.exists(capture), 60)
check("the save completes", done)

def tray_icon():
    """The X window of the program's icon in the tray: its window of the tray's icon size."""
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
    for line in tree.splitlines():
        match = re.match(r'\s*(0x[0-9a-f]+) "Verada Rede": \("verada-rede-demo".*\)\s+22x22\+', line)
        if match:
            return match.group(1)
    return None


def tooltip():
    app = application()
    tip = app and find(app, role="tool tip")
    return tip and tip.name


icon = until(tray_icon, 10)
if icon:  # the pointer rests on the icon, as a screen reader's mouse review does
    subprocess.run(["xdotool", "mousemove", "--window", icon, "8", "8"], check=False)
tip = until(lambda: (tooltip() or "").find("Last saved in " + target) >= 0 and tooltip(), 10)
check("the tray icon's tooltip says the state and where the data was saved",
      tip and "Adapter connected" in tip, tip or tooltip())
subprocess.run(["xdotool", "mousemove", "0", "0"], check=False)
told = until(lambda: "Saved the received data in " + target in open(notifications).read(), 10)
check("the save is told through the desktop's notifications", told,
      open(notifications).read()[-300:])

# --- back in the tray, the adapter plugged in and silent -------------------------------------
until(lambda: "Adapter connected" in [e[3] for e in events[-5:] if e[2] == "image"], 10)
times = answer_times(application())
check("the program answers promptly while it waits in the tray (slowest of 30 calls < 0.2 s)",
      max(times) < 0.2, "slowest %.3f s" % max(times))

print("accessibility: %d check(s) failed" % failures if failures else "accessibility: all passed")
sys.exit(1 if failures else 0)

#!/usr/bin/python3
# dbus-run-session -- atspi_walk.py PROGRAM: starts PROGRAM, skips the splash with a click, opens
# each window by its (picture) button or menu item, as a screen reader presses them, and fails on
# a showing control without a name (containers, labels and the items of lists are none).
import os, subprocess, sys, time
import pyatspi as A

UNNAMED = {A.ROLE_FILLER, A.ROLE_PANEL, A.ROLE_SCROLL_BAR, A.ROLE_SEPARATOR, A.ROLE_LABEL}
CONTENT = {A.ROLE_TABLE, A.ROLE_TREE_TABLE, A.ROLE_TREE, A.ROLE_LIST}
problems = []

def wait_for(get, what, seconds=10):
    for _ in range(seconds * 10):
        if (found := get()) is not None:
            return found
        time.sleep(0.1)
    problems.append("never came: " + what)

showing = lambda o: o is not None and o.getState().contains(A.STATE_SHOWING)

def kids(o):
    return [c for c in (o.getChildAtIndex(i) for i in range(o.childCount)) if c is not None]

window = lambda app, name: next((w for w in kids(app) if w.name == name and showing(w)), None)

def find(o, name, role):
    if o.name == name and o.getRole() == role:
        return o
    return next((f for f in (find(c, name, role) for c in kids(o)) if f is not None), None)

def press(o, what):
    action = o.queryAction() if o is not None else None
    names = [action.getName(i) for i in range(action.nActions)] if action else []
    if "Press" not in names:
        return problems.append("cannot press " + what)
    action.doAction(names.index("Press"))

def walk(o, title, counts):
    if not showing(o):
        return
    role, columns = o.getRole(), []
    counts[0] += role not in UNNAMED
    if role in CONTENT and "Table" in A.listInterfaces(o):
        table = o.queryTable()
        columns = [table.getColumnDescription(c) for c in range(table.nColumns)]
    if (not o.name and role not in UNNAMED) or "" in columns:
        counts[1] += 1
        problems.append("%s: %s '%s' %s has no name" % (title, o.getRoleName(), o.name, columns))
    for c in [] if role in CONTENT else kids(o):
        walk(c, title, counts)

def check(w, title):
    counts = [0, 0]
    walk(w, title, counts)
    print("%s: %d controls, %d without a name" % (title, *counts))

def visit(app, title, opener, closer, label=None):
    opener()
    if (w := wait_for(lambda: window(app, title), title)) is not None:
        time.sleep(0.3)
        check(w, label or title)
        if closer:
            press(find(w, closer, A.ROLE_PUSH_BUTTON), closer + " in " + title)
            wait_for(lambda: None if window(app, title) else True, title + " closing")

def run(app):
    if (splash := wait_for(lambda: window(app, "Tavrin is starting"), "the splash", 30)):
        check(splash, "Splash")
        box = splash.queryComponent().getExtents(A.DESKTOP_COORDS)
        subprocess.run(["xdotool", "mousemove", str(box.x + box.width // 2),
                        str(box.y + box.height // 2), "click", "1"], check=False)
        wait_for(lambda: window(app, "Tavrin"), "the main window at once on a click", 3)
    if (main := wait_for(lambda: window(app, "Tavrin"), "the main window", 30)) is None:
        return
    time.sleep(0.5)
    check(main, "Main window")
    button = lambda name: find(main, name, A.ROLE_PUSH_BUTTON)
    item = lambda name: (lambda: press(find(main, name, A.ROLE_MENU_ITEM), name))
    press(button("Catalogue"), "Catalogue")
    wait_for(lambda: True if showing(find(main, "Disk title", A.ROLE_TEXT)) else None, "panel")
    check(main, "Main window, catalogue panel")
    press(button("Catalogue"), "Catalogue")
    visit(app, "New record", lambda: press(button("New"), "New"), "Cancel")
    visit(app, "Edit record", lambda: press(button("Edit"), "Edit"), "Cancel")
    visit(app, "Create an .IMG file", item("Create .img file"), "Cancel")
    visit(app, "Creat new database", item("New database"), "Cancel")
    visit(app, "Tavrin Properties", item("Properties"), "Cancel")
    visit(app, "Set up emulators", item("Set up emulators..."), "Cancel")
    visit(app, "About Tavrin", item("About"), "OK")
    visit(app, "Tavrin Help", item("Contents"), None)
    # The first switch to the Internet asks about updates, then offers the sources.
    visit(app, "MsgBox Do you want to check for Internet updates?",
          lambda: press(button("Internet"), "Internet"), "No", "Update question")
    visit(app, "Internet Source Select", lambda: None, "Cancel")

desktop = A.Registry.getDesktop(0)  # starts the accessibility bus first
env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
tavrin = subprocess.Popen([sys.argv[1]], cwd="/", env=env)
try:
    if (app := wait_for(lambda: next((a for a in kids(desktop) if a.name == "Tavrin"), None),
                        "tavrin on the accessibility bus", 60)) is not None:
        run(app)
finally:
    tavrin.kill()
    tavrin.wait()
print("".join("FAILED: %s\n" % p for p in problems), end="")
sys.exit(1 if problems else 0)

#!/usr/bin/python3
"""Test-only: prints the state of the native program's windows as AT-SPI sees them.

  atspi_inspector.py <title-prefix>   the first top-level window of any application whose
                                      name (title) starts with the prefix
  atspi_inspector.py <title-prefix> --series ID COUNT SECONDS
                                      the text of the main dialog's control ID, COUNT times,
                                      SECONDS apart, one line each (reads faster than a
                                      dump per reading)
  atspi_inspector.py <title-prefix> --set ID VALUE
                                      moves the main dialog's slider ID to VALUE, as a drag
  atspi_inspector.py <title-prefix> --click ID|LABEL
                                      clicks the main dialog's control ID, or the push
                                      button so labelled in another window (no keyboard
                                      needed: a headless Wayland seat has none)

Output, one line each, in the format of the Windows inspector where the two meet:
  window title=<title> role=<role> app=<application>
  control id=<id> role=<role> enabled=<0|1> visible=<0|1> check=<0|1> pos=<p> min=<a>
          max=<b> box=<x,y,w,h> text=<name>        (box: on the screen, in pixels)
  menu path=<File/Open...> enabled=<0|1>
  other role=<role> text=<name>        (labels, images and buttons of other windows)
The main dialog's controls carry the identifiers of its template, which the window lists
in template order. Exit status 2 when no such window exists.
"""
import sys
import time

import pyatspi

# The template's identifiers in template order (-1: no identifier of its own).
TEMPLATE_IDS = [1007, 1000, 1008, 1002, 1001, 1009, 1006, 1003, 1004, 1005, 1010, 1025,
                1026, 1027, -1, 1016, -1, 1012, -1, -1, -1, 1013, -1, -1, -1, 1014, -1, -1,
                -1, 1019, 1020, 1021, -1, 1022, 1023, 1024, -1, 1017, -1, -1, -1, 1018, 1028,
                1029, -1, -1, -1, -1, -1, -1]
CONTROL_ROLES = {"push button", "check box", "radio button", "slider", "label"}
MENU_ROLES = {"menu bar", "menu", "menu item"}


def flat(text):
    return (text or "").replace("\n", "\\n")


def find_window(prefix):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None:
            continue
        for window in app:
            if window is not None and (window.name or "").startswith(prefix):
                states = window.getState()
                if states.contains(pyatspi.STATE_SHOWING) or window.getRoleName() == "frame":
                    return app, window
    return None, None


def walk(node, found):
    for child in node:
        if child is None:
            continue
        role = child.getRoleName()
        if role in MENU_ROLES:
            found.append(child)
            continue
        if role in CONTROL_ROLES or role in ("icon", "image"):
            found.append(child)
            if role != "label":
                continue
        walk(child, found)


def describe(node):
    states = node.getState()
    enabled = int(states.contains(pyatspi.STATE_SENSITIVE))
    visible = int(states.contains(pyatspi.STATE_VISIBLE))
    check = int(states.contains(pyatspi.STATE_CHECKED))
    pos = low = high = 0
    if node.getRoleName() == "slider":
        value = node.queryValue()
        pos, low, high = (int(round(v)) for v in
                          (value.currentValue, value.minimumValue, value.maximumValue))
    return enabled, visible, check, pos, low, high


def box(node):
    extents = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return "%d,%d,%d,%d" % (extents.x, extents.y, extents.width, extents.height)


def menus(node, path, out):
    for child in node:
        if child is None or child.getRoleName() not in MENU_ROLES:
            continue
        name = path + [child.name] if child.name else path
        if child.getRoleName() == "menu item":
            enabled = int(child.getState().contains(pyatspi.STATE_SENSITIVE))
            out.append("menu path=%s enabled=%d" % ("/".join(name), enabled))
        menus(child, name, out)


def main_control(window, wanted):
    controls = [n for n in walk_all(window) if n.getRoleName() not in MENU_ROLES]
    if len(controls) != len(TEMPLATE_IDS) or wanted not in TEMPLATE_IDS:
        return None
    return controls[TEMPLATE_IDS.index(wanted)]


def walk_all(window):
    # On Wayland GTK draws the title bar itself, inside the window: its title and close
    # button are not the dialog's. The dialog's content holds the menu bar.
    content = window
    for child in window:
        if child is not None and any(c is not None and c.getRoleName() == "menu bar"
                                     for c in child):
            content = child
    found = []
    walk(content, found)
    return found


def act(window, args):
    if args[0] == "--click" and len(args) == 2 and not args[1].lstrip("-").isdigit():
        for node in walk_all(window):
            if node.getRoleName() == "push button" and node.name == args[1]:
                node.queryAction().doAction(0)
                return 0
        return 2
    node = main_control(window, int(args[1]))
    if node is None:
        return 2
    if args[0] == "--click" and len(args) == 2:
        node.queryAction().doAction(0)
        return 0
    if args[0] == "--set" and len(args) == 3:
        node.queryValue().currentValue = float(args[2])
        return 0
    if args[0] == "--series" and len(args) == 4:
        for i in range(int(args[2])):
            if i > 0:
                time.sleep(float(args[3]))
            print(flat(node.name), flush=True)
        return 0
    return 1


def main():
    if len(sys.argv) not in (2, 4, 5, 6):
        print("usage: atspi_inspector.py <title-prefix> [--series ID COUNT SECONDS | "
              "--set ID VALUE | --click ID|LABEL]", file=sys.stderr)
        return 1
    app, window = find_window(sys.argv[1])
    if window is None:
        return 2
    if len(sys.argv) > 2:
        return act(window, sys.argv[2:])
    print("window title=%s role=%s app=%s" % (flat(window.name), window.getRoleName(), app.name))
    found = walk_all(window)
    controls = [n for n in found if n.getRoleName() not in MENU_ROLES]
    main_dialog = (window.name or "").startswith("Velmorin") and len(controls) == len(TEMPLATE_IDS)
    lines = []
    for index, node in enumerate(controls):
        enabled, visible, check, pos, low, high = describe(node)
        if main_dialog:
            lines.append("control id=%d role=%s enabled=%d visible=%d check=%d pos=%d min=%d "
                         "max=%d box=%s text=%s" % (TEMPLATE_IDS[index], node.getRoleName(),
                                                   enabled, visible, check, pos, low, high,
                                                   box(node), flat(node.name)))
        else:
            lines.append("other role=%s enabled=%d text=%s" % (node.getRoleName(), enabled,
                                                               flat(node.name)))
    for node in found:
        if node.getRoleName() == "menu bar":
            menus(node, [], lines)
    print("\n".join(lines))
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""The utility as a screen reader finds it: its accessibility tree read with pyatspi over a real
AT-SPI bus (a private D-Bus session, Xvfb), the utility discovering the demo fleet in a lab of
this test's own.

IP Configuration's mode buttons are radio buttons, its device name and MAC values are labelled by
their captions (and the captions label them), the dots between the octets are no items, and
Detail Info offers each of its lines as an item of its own. Skips (77) when pyatspi, the AT-SPI
bus or D-Bus are not installed.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

TITLE = "Access Point Management"
SKIP = 77


def find(node, predicate, depth=0):
    """The first node under `node` (itself included) for which predicate holds, or None."""
    if node is None or depth > 12:
        return None
    try:
        if predicate(node):
            return node
        children = [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:  # a node that went away while being read
        return None
    for child in children:
        found = find(child, predicate, depth + 1)
        if found is not None:
            return found
    return None


def wait_for(what, probe, timeout=40.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = probe()
        if found is not None:
            return found
        time.sleep(0.25)
    raise AssertionError(f"{what} did not appear in the accessibility tree")


def named(role, name):
    return lambda node: node.getRole() == role and node.name == name


def press(pyatspi, root, name):
    button = wait_for(f"the button {name!r}",
                      lambda: find(root, named(pyatspi.ROLE_PUSH_BUTTON, name)))
    action = button.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("Press", "press", "click"):
            action.doAction(i)
            return
    action.doAction(0)


def related_names(node, relation_type):
    names = []
    for relation in node.getRelationSet():
        if relation.getRelationType() == relation_type:
            names += [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return names


def check_ip_configuration(pyatspi, app, failures):
    dialog = wait_for("IP Configuration",
                      lambda: find(app, named(pyatspi.ROLE_DIALOG, "IP Configuration")))
    for mode in ("Dhcp client", "Fixed"):
        if find(dialog, named(pyatspi.ROLE_RADIO_BUTTON, mode)) is None:
            failures.append(f"{mode!r} is not a radio button")
    for caption, value in (("Device Name:", "Annex"), ("Mac Address:", "000A1B100006")):
        label = find(dialog, named(pyatspi.ROLE_LABEL, value))
        if label is None:
            failures.append(f"no label {value!r}")
            continue
        if related_names(label, pyatspi.RELATION_LABELLED_BY) != [caption]:
            failures.append(f"{value!r} is not labelled by {caption!r}")
        caption_node = find(dialog, named(pyatspi.ROLE_LABEL, caption))
        if caption_node is None or related_names(caption_node,
                                                 pyatspi.RELATION_LABEL_FOR) != [value]:
            failures.append(f"{caption!r} does not label {value!r}")
    if find(dialog, lambda node: node.name == ".") is not None:
        failures.append("a '.' between the octets is an item of its own")
    fields = []
    find(dialog, lambda node: node.getRole() == pyatspi.ROLE_TEXT and fields.append(node.name))
    if len(fields) != 16 or "DNS, octet 4" not in fields:
        failures.append(f"the octet fields read {fields}")
    press(pyatspi, dialog, "Cancel")


def check_detail_info(pyatspi, app, failures):
    dialog = wait_for("Detail Info", lambda: find(app, named(pyatspi.ROLE_DIALOG, "Detail Info")))
    lines = []
    find(dialog, lambda node: node.getRole() == pyatspi.ROLE_LABEL and node.childCount == 0 and
         node.getIndexInParent() >= 0 and node.parent.getRole() == pyatspi.ROLE_LABEL and
         lines.append(node.name))
    if "Name: Annex" not in lines or "IP Address: 172.16.9.9" not in lines:
        failures.append(f"Detail Info's lines read {lines}")
    press(pyatspi, dialog, "OK")


def inside(apmanager):
    """In the lab, on a private session bus, under Xvfb."""
    try:
        import pyatspi
    except ImportError:
        print("SKIP: python3-pyatspi is not installed")
        return SKIP
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    app_process = subprocess.Popen([apmanager], env=env)
    failures = []
    try:
        desktop = pyatspi.Registry.getDesktop(0)
        app = wait_for("the utility", lambda: find(desktop, lambda node: node.getRole() ==
                                                   pyatspi.ROLE_APPLICATION and
                                                   node.name == os.path.basename(apmanager)))
        main = wait_for("the main window", lambda: find(app, named(pyatspi.ROLE_DIALOG, TITLE)))
        # The first discovery has filled the list: its first row is the access point on a
        # foreign subnet, which "Set IP Address" is for.
        wait_for("the demo fleet's rows",
                 lambda: find(main, lambda node: node.name == "Annex"))
        press(pyatspi, main, "Set IP Address")
        check_ip_configuration(pyatspi, app, failures)
        press(pyatspi, main, "Detail Info")
        check_detail_info(pyatspi, app, failures)
    finally:
        app_process.terminate()
        app_process.wait(timeout=10)
    for failure in failures:
        print(f"AT-SPI: {failure}", file=sys.stderr)
    print(f"AT-SPI: {len(failures)} failed check(s)")
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("--lab", help="scripts/lab")
    parser.add_argument("--apsim")
    parser.add_argument("--fleet")
    parser.add_argument("apmanager")
    args = parser.parse_args()
    if args.inside:
        return inside(args.apmanager)
    for tool, package in (("dbus-run-session", "dbus"), ("xvfb-run", "xvfb")):
        if shutil.which(tool) is None:
            print(f"SKIP: {tool} is missing ({package})")
            return SKIP
    if not os.path.exists("/usr/libexec/at-spi-bus-launcher"):
        print("SKIP: the AT-SPI bus is not installed (at-spi2-core)")
        return SKIP
    from lab_e2e import Lab, begin_run  # noqa: E402 (the lab only when the bus can be had)
    if not begin_run(args.lab):
        return 1
    # pyatspi is Debian's (python3-pyatspi), for the system's own interpreter.
    python = "/usr/bin/python3" if os.access("/usr/bin/python3", os.X_OK) else sys.executable
    with Lab(args.lab, args.apsim, "atspi") as lab:
        lab.up(args.fleet)
        result = subprocess.run(
            [args.lab, "--id", lab.id, "exec", "--", "env", "-u", "DISPLAY", "-u",
             "WAYLAND_DISPLAY", "-u", "DBUS_SESSION_BUS_ADDRESS", "dbus-run-session", "--",
             "xvfb-run", "-a", "-s", "-screen 0 1280x800x24", python,
             os.path.abspath(__file__), "--inside", args.apmanager],
            timeout=150)
        return result.returncode


if __name__ == "__main__":
    sys.exit(main())

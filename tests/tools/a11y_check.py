"""Finds the desktop's controls on the accessibility bus by their names,
presses "Convert to CSV" through AT-SPI and checks that the file selection's
controls appear; writes the file named by argv[1] when done (also on failure).
Exit status 0 when every check passed."""
import sys
import time

import pyatspi

done_file = sys.argv[1]
failures = []


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for i in range(node.childCount):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1)


def find_app(name, timeout=30):
    until = time.time() + timeout
    while time.time() < until:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == name:
                return app
        time.sleep(0.3)
    return None


def showing(app, name):
    for node in walk(app):
        try:
            if node.name == name and node.getState().contains(pyatspi.STATE_SHOWING):
                return node
        except Exception:
            pass
    return None


def wait_showing(app, name, timeout=10):
    until = time.time() + timeout
    while time.time() < until:
        node = showing(app, name)
        if node is not None:
            return node
        time.sleep(0.2)
    return None


try:
    app = find_app("test_ui")
    if app is None:
        failures.append("the window never appeared on the accessibility bus")
    else:
        for name in ("Record a drive test", "Convert to KMZ", "Convert to CSV", "Coverage analysis", "Antenna editor"):
            node = wait_showing(app, name)
            if node is None:
                failures.append("no control named %r" % name)
            elif node.getRole() != pyatspi.ROLE_PUSH_BUTTON:
                failures.append("%r is a %s, not a button" % (name, node.getRoleName()))
        task = showing(app, "Convert to CSV")
        if task is not None:
            action = task.queryAction()
            names = [action.getName(i) for i in range(action.nActions)]
            if "Press" not in names:
                failures.append("'Convert to CSV' offers no Press action: %s" % names)
            else:
                action.doAction(names.index("Press"))
                for name in ("Mark all", "Mark none", "Home", "Next"):
                    if wait_showing(app, name) is None:
                        failures.append("after pressing 'Convert to CSV' no control named %r shows" % name)
                table = None
                for node in walk(app):
                    try:
                        if node.getRole() == pyatspi.ROLE_TABLE and node.getState().contains(pyatspi.STATE_SHOWING):
                            table = node
                    except Exception:
                        pass
                if table is None:
                    failures.append("the file table is not exposed as a table")
finally:
    open(done_file, "w").close()

for f in failures:
    print("FAIL: " + f, file=sys.stderr)
sys.exit(1 if failures else 0)

#!/usr/bin/python3
"""Drives Mindrel from the outside, as a screen reader would: on a private X
server with its own session bus and accessibility bus, it opens the event
format editor, the Help window, the help viewer (F1 on the look-ahead spin
box) and the folder picker through the desktop accessibility interface,
checks their captions and controls, and closes each with Escape.

Usage: editor_help_folder_windows.py [BIN_DIR]   (default: build/bin)
Exit status 0 when every check passed; the failed checks are listed.
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

BIN_DIR = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/bin")
TODAY = "2026-12-10"
failures = []
started = []  # (name, Popen or pid), ended in reverse order


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def wait_for(probe, seconds=15.0, step=0.1):
    end = time.monotonic() + seconds
    while True:
        value = probe()
        if value or time.monotonic() > end:
            return value
        time.sleep(step)


def free_display():
    for n in range(90, 400):
        if not os.path.exists(f"/tmp/.X11-unix/X{n}") and not os.path.exists(f"/tmp/.X{n}-lock"):
            return n
    raise RuntimeError("no free X display number")


def start_desktop(env):
    display = free_display()
    xvfb = subprocess.Popen(["Xvfb", f":{display}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    started.append(("Xvfb", xvfb))
    if not wait_for(lambda: os.path.exists(f"/tmp/.X11-unix/X{display}"), 10):
        raise RuntimeError("Xvfb did not start")
    env["DISPLAY"] = f":{display}"
    out = subprocess.run(["dbus-launch", "--sh-syntax"], env=env, capture_output=True, text=True, check=True).stdout
    env["DBUS_SESSION_BUS_ADDRESS"] = re.search(r"DBUS_SESSION_BUS_ADDRESS='([^']*)'", out).group(1)
    started.append(("dbus-daemon", int(re.search(r"DBUS_SESSION_BUS_PID=(\d+)", out).group(1))))
    launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    started.append(("at-spi-bus-launcher", launcher))
    time.sleep(1.0)


def stop_all():
    for name, process in reversed(started):
        try:
            if isinstance(process, int):
                os.kill(process, signal.SIGTERM)
            else:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
        except ProcessLookupError:
            pass


def xdotool(*args, env):
    subprocess.run(["xdotool", *args], env=env, check=False)


def main():
    work = tempfile.mkdtemp(prefix="mindrel-desktop-")
    env = dict(os.environ)
    env.pop("QT_QPA_PLATFORM", None)
    env.update({"MINDREL_DATA_DIR": f"{work}/data", "MINDREL_TODAY": TODAY, "WINEPREFIX": f"{work}/wine",
                "XDG_CONFIG_HOME": f"{work}/config", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"})
    try:
        tree = f"{work}/tree"
        subprocess.run([f"{BIN_DIR}/mktree", tree, "--people", "60", "--seed", "3", "--today", TODAY],
                       check=True, stdout=subprocess.DEVNULL)
        os.makedirs(env["MINDREL_DATA_DIR"])
        with open(f"{env['MINDREL_DATA_DIR']}/Mindrel.INI", "w") as ini:
            ini.write(f'[Prefs]\nNDBs=1\nDB0="{tree}"\nAudio=no\n')
        start_desktop(env)
        program = subprocess.Popen([f"{BIN_DIR}/Mindrel"], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        started.append(("Mindrel", program))
        os.environ["DISPLAY"] = env["DISPLAY"]
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = env["DBUS_SESSION_BUS_ADDRESS"]
        import pyatspi
        drive(pyatspi, env, tree)
    finally:
        stop_all()
        shutil.rmtree(work, ignore_errors=True)
    print(f"{len(failures)} failed" if failures else "all passed")
    return 1 if failures else 0


def children(node):
    try:
        return [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:
        return []


def find(node, role=None, name=None, depth=0):
    """First node below `node` with the role name and accessible name (or,
    for a picture-only button, description) given."""
    if depth > 40:
        return None
    for child in children(node):
        if child is None:
            continue
        try:
            matches = (role is None or child.getRoleName() == role) and (
                name is None or child.name == name or child.description == name)
        except Exception:
            matches = False
        if matches:
            return child
        found = find(child, role, name, depth + 1)
        if found is not None:
            return found
    return None


def all_nodes(node, depth=0):
    for child in children(node):
        if child is None:
            continue
        yield child
        if depth < 40:
            yield from all_nodes(child, depth + 1)


def showing(pyatspi, node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def window(pyatspi, app, caption):
    for child in children(app):
        try:
            if child.name == caption and showing(pyatspi, child):
                return child
        except Exception:
            pass
    return None


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("Press", "press", "click"):
            action.doAction(i)
            return
    action.doAction(0)


def click(pyatspi, node, env, button="1"):
    extents = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    xdotool("mousemove", str(extents.x + extents.width // 2), str(extents.y + extents.height // 2),
            "click", button, env=env)


def close_with_escape(pyatspi, app, caption, env):
    xdotool("key", "Escape", env=env)
    return check(wait_for(lambda: window(pyatspi, app, caption) is None, 10), f'Escape closes "{caption}"')


def unnamed_controls(pyatspi, win):
    controls = ("push button", "check box", "text", "spin button", "table", "tree", "tree table", "list",
                "page tab list", "radio button")
    return [n.getRoleName() for n in all_nodes(win) if n.getRoleName() in controls and not n.name]


def drive(pyatspi, env, tree):
    desktop = pyatspi.Registry.getDesktop(0)
    app = wait_for(lambda: next((a for a in children(desktop) if a is not None and a.name == "Mindrel"), None), 30)
    if not check(app is not None, "Mindrel is on the accessibility bus"):
        return
    main = wait_for(lambda: next((w for w in children(app) if w.name.startswith("Mindrel for")), None), 20)
    if not check(main is not None, "the main window is shown"):
        return
    time.sleep(1.0)  # the options panel slides open

    # The event format editor: open, type a birth format, see the sample.
    press(find(main, "push button", "Event formats"))
    editor = wait_for(lambda: window(pyatspi, app, "Event Format Editor"))
    if check(editor is not None, '"Event formats" opens "Event Format Editor"'):
        check(not unnamed_controls(pyatspi, editor), "every control of the editor has a name")
        grid = find(editor, "table", "Events")
        check(grid is not None and grid.queryTable().nRows == 6, "the Events grid has the six fixed rows")
        cells = [c.name for c in all_nodes(grid)] if grid else []
        check("Added fixed" in cells, "grid cells speak their texts")
        sample = find(editor, "text", "Sample")
        before = sample.queryText().getText(0, -1) if sample else ""
        check(re.match(r"John SMITH is \d+ years old (today|tomorrow|in 2 days)$", before) is not None,
              f"the sample line shows the birth format ({before!r})")
        xdotool("key", "ctrl+a", env=env)
        xdotool("type", "--delay", "30", "<name> celebrates", env=env)
        after = wait_for(lambda: sample.queryText().getText(0, -1) == "John SMITH celebrates" and "ok", 5)
        check(after == "ok", "typing a birth format changes the sample line at once")
        close_with_escape(pyatspi, app, "Event Format Editor", env)

    # Help (tool bar): the Help window with the version line.
    click(pyatspi, find(main, "push button", "Help"), env)
    helpwin = wait_for(lambda: window(pyatspi, app, "Help"))
    if check(helpwin is not None, 'Help (tool bar) opens "Help"'):
        check(not unnamed_controls(pyatspi, helpwin), "every control of the Help window has a name")
        check(any("Version: 1.2.3" in (n.name or "") for n in all_nodes(helpwin)), "the Help window shows the version")
        close_with_escape(pyatspi, app, "Help", env)

    # F1 on the look-ahead spin box: the help viewer on its topic.
    spin = find(main, "spin button")
    if check(spin is not None, "the look-ahead spin box is reachable"):
        spin.queryComponent().grabFocus()
        time.sleep(0.3)
        xdotool("key", "F1", env=env)
        viewer = wait_for(lambda: window(pyatspi, app, "Mindrel Help - Look ahead"))
        check(viewer is not None, "F1 on the look-ahead spin box opens the help viewer on its topic")
        if viewer is not None:
            check(not unnamed_controls(pyatspi, viewer), "every control of the help viewer has a name")

    # Add (folder list): the folder picker on the listed folder.
    press(find(main, "push button", "Add"))
    picker = wait_for(lambda: window(pyatspi, app, "Select folder"))
    if check(picker is not None, 'Add opens "Select folder"'):
        check(not unnamed_controls(pyatspi, picker), "every control of the folder picker has a name")
        path = find(picker, "text", "Selected folder")
        check(path is not None and path.queryText().getText(0, -1) == tree, "the picker starts on the listed folder")
        close_with_escape(pyatspi, app, "Select folder", env)

    # The two list windows: checked when the program has them.
    for button, caption in (("Added events", "Added events"), ("Ignore List", "Ignore List")):
        node = find(main, "push button", button)
        if node is None:
            check(False, f'the "{button}" button is reachable')
            continue
        press(node)
        opened = wait_for(lambda: window(pyatspi, app, caption), 5)
        if opened is None:
            print(f'skip "{button}" opens no window in this build')
            continue
        check(True, f'"{button}" opens "{caption}"')
        close_with_escape(pyatspi, app, caption, env)


if __name__ == "__main__":
    sys.exit(main())

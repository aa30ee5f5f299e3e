"""A private desktop for testing windows from the outside.

An X server without a screen (Xvfb) on a free display, a private session bus,
the accessibility bus on it, and programs started there with accessibility
switched on. Tests find controls by role and name through AT-SPI, press and
set them through its action and value interfaces, and use xdotool where only
the pointer or the keyboard will do (a right click that opens a context menu,
typing into the focused edit).

Every process the session starts is ended by its own id when the session
ends, also when a test fails half-way.

    with DesktopSession() as desktop:
        program = desktop.start([binary], env={...})
        app = desktop.application("Mindrel", program)
        window = desktop.find(app, "frame", "Mindrel for next 30 days")
        desktop.press(desktop.find(window, "push button", "Refresh"))
"""

import os
import re
import select
import signal
import subprocess
import time

DEFAULT_TIMEOUT = 60.0
POLL_INTERVAL = 0.1


class DesktopError(AssertionError):
    pass


def wait_until(predicate, timeout=DEFAULT_TIMEOUT, what="condition"):
    """Polls `predicate` until it returns something true, and returns that."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            result = predicate()
            if result:
                return result
        except DesktopError:  # the predicate knows it will never hold
            raise
        except Exception as error:  # the tree may change while it is read
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error!r})" if last_error else ""
            raise DesktopError(f"timed out after {timeout:.0f}s waiting for {what}{detail}")
        time.sleep(POLL_INTERVAL)


class DesktopSession:
    def __init__(self, width=1280, height=1024, timeout=DEFAULT_TIMEOUT):
        self.size = (width, height)
        self.timeout = timeout
        self.display = None
        self.env = None
        self._processes = []  # (name, Popen or pid), ended in reverse order
        self._pyatspi = None

    # ---- set-up and clean-up ----

    def __enter__(self):
        try:
            self._start_x_server()
            self._start_session_bus()
            self._start_accessibility_bus()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def _start_x_server(self):
        # Xvfb picks a free display itself and writes its number to the pipe
        # once it accepts connections.
        read_end, write_end = os.pipe()
        try:
            server = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                 f"{self.size[0]}x{self.size[1]}x24", "-nolisten", "tcp"],
                pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                start_new_session=True)
            self._processes.append(("Xvfb", server))
            os.close(write_end)
            write_end = None
            number = b""
            deadline = time.monotonic() + self.timeout
            while not number.endswith(b"\n"):
                remaining = deadline - time.monotonic()
                ready, _, _ = select.select([read_end], [], [], max(0.0, remaining))
                if not ready:
                    raise DesktopError("Xvfb did not report a display")
                chunk = os.read(read_end, 16)
                if not chunk:
                    raise DesktopError("Xvfb ended before it reported a display")
                number += chunk
        finally:
            os.close(read_end)
            if write_end is not None:
                os.close(write_end)
        self.display = ":" + number.decode().strip()
        # The display is reported once the server listens; a client started
        # before the display's socket is there cannot connect, so the session
        # waits for the socket as well.
        socket_path = "/tmp/.X11-unix/X" + number.decode().strip()
        wait_until(lambda: os.path.exists(socket_path), self.timeout, "the X server's socket")
        self.env = dict(os.environ)
        self.env.pop("QT_QPA_PLATFORM", None)
        self.env["DISPLAY"] = self.display

    def _start_session_bus(self):
        output = subprocess.run(["dbus-launch", "--sh-syntax"], env=self.env, check=True,
                                capture_output=True, text=True, timeout=self.timeout).stdout
        address = re.search(r"DBUS_SESSION_BUS_ADDRESS='([^']*)'", output)
        pid = re.search(r"DBUS_SESSION_BUS_PID=(\d+)", output)
        if not address or not pid:
            raise DesktopError("dbus-launch gave no bus: " + output)
        self._processes.append(("dbus-daemon", int(pid.group(1))))
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address.group(1)

    def _start_accessibility_bus(self):
        launcher = subprocess.Popen(
            ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], env=self.env,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        self._processes.append(("at-spi-bus-launcher", launcher))

        def bus_address():
            reply = subprocess.run(
                ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                 "org.a11y.Bus.GetAddress"], env=self.env, capture_output=True, text=True, timeout=5)
            return reply.returncode == 0 and "unix:" in reply.stdout

        wait_until(bus_address, self.timeout, "the accessibility bus")
        # pyatspi reads the bus from the environment when it is imported.
        os.environ["DISPLAY"] = self.display
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.env["DBUS_SESSION_BUS_ADDRESS"]
        import pyatspi
        self._pyatspi = pyatspi

    def start(self, argv, env=None, name=None):
        """Starts a program on the desktop with accessibility on; returns its Popen."""
        program_env = dict(self.env)
        program_env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        program_env["QT_ACCESSIBILITY"] = "1"
        program_env.update(env or {})
        process = subprocess.Popen(argv, env=program_env, start_new_session=True)
        self._processes.append((name or os.path.basename(argv[0]), process))
        return process

    def close(self):
        """Ends every process the session started, newest first, by its id."""
        while self._processes:
            name, process = self._processes.pop()
            if isinstance(process, int):
                _end_pid(process)
            else:
                _end_popen(process)

    # ---- finding nodes ----

    @property
    def pyatspi(self):
        return self._pyatspi

    def application(self, name, process=None, timeout=None):
        """The application called `name` (of `process` when given)."""
        def find():
            desktop = self._pyatspi.Registry.getDesktop(0)
            for app in desktop:
                if app is None or app.name != name:
                    continue
                if process is None or app.get_process_id() == process.pid:
                    return app
            if process is not None and process.poll() is not None:
                raise DesktopError(f"{name} ended with {process.returncode} before it showed up")
            return None

        return wait_until(find, timeout or self.timeout, f"application {name}")

    def find_all(self, root, role=None, name=None, showing=False):
        """Every node below `root` with the role and name (a string or a compiled pattern)."""
        found = []
        stack = [root]
        while stack:
            node = stack.pop()
            if node is None:
                continue
            if node is not root and _matches(node, role, name, showing, self._pyatspi):
                found.append(node)
            try:
                stack.extend(node[i] for i in reversed(range(node.childCount)))
            except Exception:
                continue
        return found

    def find(self, root, role=None, name=None, timeout=None, showing=False):
        """The first such node, waited for."""
        return wait_until(lambda: next(iter(self.find_all(root, role, name, showing)), None),
                          timeout or self.timeout, f"{role or 'node'} {_describe(name)}")

    def window(self, app, name, timeout=None):
        """A top-level window of the application by caption."""
        def find():
            for i in range(app.childCount):
                child = app[i]
                if child is not None and _name_matches(child.name, name):
                    return child
            return None

        return wait_until(find, timeout or self.timeout, f"window {_describe(name)}")

    def focus_after(self, action, role=None, timeout=None):
        """Runs `action` and returns the node that takes the focus then.

        Popup menus are no part of the tree below the application; a screen
        reader meets their items as they take the focus, and so does this.
        """
        from gi.repository import GLib

        focused = []

        def on_focus(event):
            if event.detail1 == 1 and event.source is not None:
                focused.append(event.source)

        kind = "object:state-changed:focused"
        self._pyatspi.Registry.registerEventListener(on_focus, kind)
        try:
            action()
            context = GLib.MainContext.default()

            def found():
                while context.pending():
                    context.iteration(False)
                return next((node for node in focused if role is None or node.getRoleName() == role), None)

            return wait_until(found, timeout or self.timeout, f"the focus on a {role or 'node'}")
        finally:
            self._pyatspi.Registry.deregisterEventListener(on_focus, kind)

    # ---- acting ----

    def press(self, node):
        """Runs the node's first action (press, click, toggle)."""
        action = node.queryAction()
        if action.nActions < 1:
            raise DesktopError(f"{node.name!r} has no action")
        action.doAction(0)

    def set_value(self, node, value):
        node.queryValue().currentValue = value
        wait_until(lambda: node.queryValue().currentValue == value, self.timeout, f"{node.name} = {value}")

    def centre(self, node):
        extents = node.queryComponent().getExtents(self._pyatspi.DESKTOP_COORDS)
        return extents.x + extents.width // 2, extents.y + extents.height // 2

    def click(self, node, button=1):
        """A real pointer click on the middle of the node."""
        x, y = self.centre(node)
        self.xdotool("mousemove", "--sync", str(x), str(y), "click", str(button))

    def type_text(self, text):
        self.xdotool("type", "--delay", "20", text)

    def key(self, *keys):
        self.xdotool("key", *keys)

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True, timeout=self.timeout)


def _name_matches(actual, wanted):
    if wanted is None:
        return True
    if isinstance(wanted, str):
        return actual == wanted
    return actual is not None and wanted.search(actual) is not None


def _describe(name):
    return repr(name.pattern if hasattr(name, "pattern") else name)


def _matches(node, role, name, showing, pyatspi):
    if role is not None and node.getRoleName() != role:
        return False
    if not _name_matches(node.name, name):
        return False
    if showing and not node.getState().contains(pyatspi.STATE_SHOWING):
        return False
    return True


def _end_popen(process, grace=5.0):
    if process.poll() is None:
        _signal_group(process.pid, signal.SIGTERM)
        try:
            process.wait(grace)
        except subprocess.TimeoutExpired:
            _signal_group(process.pid, signal.SIGKILL)
            process.wait(grace)
    else:
        # Helpers the process started in its own group may outlive it.
        _signal_group(process.pid, signal.SIGTERM)


def _signal_group(pid, sig):
    # Each started process leads a group of its own (start_new_session), so
    # the group id is the process id.
    try:
        os.killpg(pid, sig)
    except ProcessLookupError:
        pass


def _end_pid(pid, grace=5.0):
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return
    deadline = time.monotonic() + grace
    while time.monotonic() < deadline:
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            return
        time.sleep(POLL_INTERVAL)
    try:
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass

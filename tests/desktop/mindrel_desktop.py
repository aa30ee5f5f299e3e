"""The real Mindrel on a private desktop, for test cases driven through the
desktop accessibility interface.

One desktop and one demo family tree per test class; each test starts the
program afresh on a data folder of its own whose settings list the tree.

usage of a test script: SCRIPT BIN_DIR
"""

import json
import os
import subprocess
import sys
import tempfile
import unittest

from desktop_session import DesktopSession, wait_until

_bin_dir = None


def run_tool(*args):
    """Runs one of the built tools (mktree, keel ...) and returns its output."""
    return subprocess.run([os.path.join(_bin_dir, args[0]), *args[1:]], check=True, capture_output=True, text=True,
                          timeout=120).stdout


class MindrelDesktopCase(unittest.TestCase):
    TODAY = "2027-02-10"
    PEOPLE = "150"
    SEED = "7"

    @classmethod
    def setUpClass(cls):
        cls.home = tempfile.TemporaryDirectory(prefix="mindrel-desktop-")
        cls.tree = os.path.join(cls.home.name, "tree")
        run_tool("mktree", cls.tree, "--people", cls.PEOPLE, "--seed", cls.SEED, "--today", cls.TODAY)
        cls.desktop = DesktopSession()
        cls.desktop.__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.desktop.close()
        cls.home.cleanup()

    def setUp(self):
        self.data = tempfile.mkdtemp(dir=self.home.name, prefix="data-")
        with open(os.path.join(self.data, "Mindrel.INI"), "w") as settings:
            settings.write(f'[Prefs]\nNDBs=1\nDB0="{self.tree}"\nAudio=no\nExclude=yes\n'
                           "[Window]\nLeft=0\nTop=0\nWidth=700\nHeight=640\n")
        desktop = self.desktop
        self.process = desktop.start(
            [os.path.join(_bin_dir, "Mindrel")],
            env={"MINDREL_DATA_DIR": self.data, "MINDREL_TODAY": self.TODAY,
                 "WINEPREFIX": os.path.join(self.home.name, "no-wine"),
                 "XDG_CONFIG_HOME": os.path.join(self.home.name, "config")},
            name="Mindrel")
        self.app = desktop.application("Mindrel", self.process)
        self.main = desktop.window(self.app, "Mindrel for next 30 days")
        self.alerts = desktop.find(self.main, "list", "Alerts")

    def tearDown(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(10)

    # ---- helpers ----

    def items(self):
        return self.desktop.find_all(self.alerts, "list item")

    def records(self, table):
        return [json.loads(line) for line in run_tool("keel", "dump", self.data, table).splitlines() if line.strip()]

    def button(self, window, name):
        return self.desktop.find(window, "push button", name)

    def wait_enabled(self, node, enabled=True):
        sensitive = self.desktop.pyatspi.STATE_SENSITIVE
        wait_until(lambda: node.getState().contains(sensitive) == enabled, what=f"{node.name} enabled={enabled}")

    def wait_closed(self, window, timeout=None):
        showing = self.desktop.pyatspi.STATE_SHOWING

        def closed():
            try:
                return not window.getState().contains(showing)
            except Exception:  # gone from the tree altogether
                return True

        wait_until(closed, timeout or self.desktop.timeout, f"{window.name} to close")

    def close_program(self):
        """Closes the main window; the own tables must come out whole."""
        self.desktop.press(self.button(self.main, "Close"))
        self.assertEqual(self.process.wait(30), 0)
        for table in ("Ignore.dat", "Events.dat"):
            run_tool("keel", "verify", self.data, table)


def main(doc):
    """Runs the test cases of the calling script on the tools in BIN_DIR."""
    global _bin_dir
    if len(sys.argv) < 2:
        sys.exit(doc)
    _bin_dir = sys.argv.pop(1)
    unittest.main(module="__main__")

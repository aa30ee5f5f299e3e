"""The windows behind the main window's buttons, met as a person with a
screen reader meets them: the real program on a private X server, each
window opened from its button found by name, looked at through the desktop
accessibility interface, and closed with Escape.

usage: option_windows_test.py BIN_DIR
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_session import wait_until  # noqa: E402
from mindrel_desktop import MindrelDesktopCase, main  # noqa: E402

# Roles of the controls a person operates; each must say what it is.
CONTROL_ROLES = {"push button", "check box", "radio button", "text", "spin button", "combo box", "table",
                 "tree table", "tree", "list", "page tab list", "slider"}
# Roles of the items a control holds; each must speak its text.
ITEM_ROLES = {"list item", "tree item", "page tab", "table column header", "table row header"}


class OptionWindowsTest(MindrelDesktopCase):
    # (button of the main window, caption of its window, a text the window
    # must speak as the name of one of its nodes, or None)
    WINDOWS = [
        ("Event formats", "Event Format Editor", "Added fixed"),
        ("Added events", "Added events", None),
        ("Ignore List", "Ignore List", None),
        ("Jubilees...", "Jubilees", "Wedding anniversaries"),
        ("Help", "Help", None),
        ("Add", "Select folder", "tree"),
    ]

    def test_each_window_opens_with_its_caption_and_escape_closes_it(self):
        desktop = self.desktop
        desktop.find(self.main, "list item", self.tree)  # the folder list, shown with the options
        self.assertEqual(self.unnamed_controls(self.main), [], "every control of the main window has a name")
        for button, caption, spoken in self.WINDOWS:
            with self.subTest(button=button):
                desktop.press(desktop.find(self.main, "push button", button, showing=True))
                window = desktop.window(self.app, caption, timeout=15)
                self.assertEqual(self.unnamed_controls(window), [], f"every control of {caption!r} has a name")
                if spoken is not None:
                    desktop.find(window, name=spoken, timeout=10)
                self.close_with_escape(window)
        self.close_program()

    def close_with_escape(self, window):
        desktop = self.desktop
        focused = desktop.pyatspi.STATE_ACTIVE
        wait_until(lambda: window.getState().contains(focused), 15, f"{window.name} to take the keyboard")
        desktop.key("Escape")
        self.wait_closed(window, timeout=15)

    def unnamed_controls(self, window):
        """(role, description) of every control or item below `window` that says nothing."""
        unnamed = []
        for node in self.desktop.find_all(window):
            try:
                role = node.getRoleName()
                if role in CONTROL_ROLES | ITEM_ROLES and not (node.name or "").strip():
                    unnamed.append((role, node.description))
            except Exception:  # the node went while it was read
                continue
        return unnamed


if __name__ == "__main__":
    main(__doc__)

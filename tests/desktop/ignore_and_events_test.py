"""Mindrel's alert list menu, ignore list and added events, used as a person
would: the real program on a private X server, driven through the desktop
accessibility interface and the pointer.

usage: ignore_and_events_test.py BIN_DIR
"""

import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_session import wait_until  # noqa: E402
from mindrel_desktop import MindrelDesktopCase, main  # noqa: E402

BIRTHDAY = re.compile(r" is \d+ years old ")


class MindrelDesktopTest(MindrelDesktopCase):
    # A day whose next 30 days hold 25 February, the added event's day.
    TODAY = "2027-02-10"

    # ---- the round trips ----

    def test_ignoring_a_birthday_and_reinstating_it(self):
        desktop = self.desktop
        before = len(wait_until(self.items, what="alerts"))
        birthdays = [item for item in self.items()
                     if BIRTHDAY.search(item.name) and item.getState().contains(desktop.pyatspi.STATE_SHOWING)]
        self.assertTrue(birthdays, "a birthday alert in view")
        birthday = birthdays[0]
        spoken = birthday.name
        self.assertRegex(spoken, r"^\w{3} \d{1,2} \w{3} ", "an alert speaks its date, then its sentence")

        desktop.click(birthday)
        wait_until(lambda: birthday.getState().contains(desktop.pyatspi.STATE_SELECTED), what="the selection")
        desktop.click(birthday, button=3)
        first = desktop.focus_after(lambda: desktop.key("Down"), "menu item")
        menu = first.parent
        self.assertEqual([menu[i].name for i in range(menu.childCount)],
                         ["Ignore event (1)", "Ignore all (1)", "Export to calendar..."])
        desktop.click(first)
        wait_until(lambda: len(self.items()) == before - 1, what="the alert to leave the list")
        self.assertNotIn(spoken, [item.name for item in self.items()])

        [record] = self.records("Ignore.dat")
        self.assertEqual(record["Events"], "birth")
        self.assertFalse(record["AllEvents"])
        self.assertEqual(record["DBFolder"], self.tree)

        desktop.press(self.button(self.main, "Ignore List"))
        window = desktop.window(self.app, "Ignore List")
        desktop.find(window, "table cell", record["DBCode"])
        self.assertEqual(desktop.find(window, "text", "Events ignored for this person").queryText().getText(0, -1),
                         "birth")
        desktop.press(self.button(window, "Reinstate"))
        wait_until(lambda: not desktop.find_all(window, "table cell", record["DBCode"]), what="the row to go")
        self.assertEqual(self.records("Ignore.dat"), [])
        desktop.press(self.button(window, "Close"))
        self.wait_closed(window)

        desktop.press(self.button(self.main, "Refresh"))
        wait_until(lambda: spoken in [item.name for item in self.items()], what="the alert to come back")
        self.assertEqual(len(self.items()), before)
        self.close_program()

    def test_adding_an_annual_event(self):
        desktop = self.desktop
        desktop.press(self.button(self.main, "Added events"))
        window = desktop.window(self.app, "Added events")
        desktop.press(self.button(window, "Add"))
        update = self.button(window, "Update")
        self.wait_enabled(update)
        description = desktop.find(window, "text", "Description")
        focused = desktop.pyatspi.STATE_FOCUSED
        wait_until(lambda: description.getState().contains(focused), what="the description to take the focus")
        desktop.type_text("Family day")
        wait_until(lambda: description.queryText().getText(0, -1) == "Family day", what="the typed description")

        desktop.press(desktop.find(window, "radio button", "Annual"))
        self.wait_enabled(desktop.find(window, "spin button", "Year"), False)
        desktop.set_value(desktop.find(window, "spin button", "Day"), 25)
        desktop.set_value(desktop.find(window, "spin button", "Month"), 2)
        desktop.press(update)
        desktop.find(window, "table cell", "25 Feb")
        desktop.find(window, "table cell", "Family day")
        self.wait_enabled(update, False)
        desktop.press(self.button(window, "Close"))
        self.wait_closed(window)

        [event] = self.records("Events.dat")
        self.assertEqual((event["Description"], event["EventType"], event["Event date D"], event["Event date DD"],
                          event["Event date MM"], event["Event date YY"]),
                         ("Family day", 5, "25 Feb", 25, 2, 0))

        desktop.press(self.button(self.main, "Refresh"))
        wait_until(lambda: [item for item in self.items() if "Family day" in item.name], what="the event's alert")
        self.close_program()


if __name__ == "__main__":
    main(__doc__)

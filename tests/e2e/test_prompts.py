"""Ways back and plain questions, with real input: Cancel on "Save Changed
Notes?", Erase and Destroy confirmations that say what they will do, the
Alarms Setup dialog at the next whole minute, and a button-3 click on the
control window released at once, in every corner of the screen."""

import os
import re
import time
import unittest

from e2e import E2ETest, choose_from_main_menu, make_note_dir, note_file, wait_for
from faults import type_into_note

NOTES_MENU = ["Menu", "-", "Hide", "Erase", "-", "Destroy", "-", "Name", "Anchor", "UnAnchor",
              "SetAlarm", "UnsetAlarm", "InsertCalendar", "InsertDate"]
FILE_MENU = ["Menu", "-", "Save", "Open", "Export", "Print", "EmailNote"]


class PromptsTest(E2ETest):

    def start_note(self, text="eggs", *args):
        home = os.path.join(self.x.tmp, "home-%d" % time.monotonic_ns())
        make_note_dir(home, {"note1": note_file("List", text, x=300, y=200, width=300, height=150)})
        app = self.start(*args, home=home)
        app.wait_ready()
        return app, self.x.wait_mapped("List")

    def bar_button(self, note, index):
        form = [w for w in self.x.descendants(note) if w["depth"] == 1][0]
        buttons = sorted((w for w in self.x.descendants(note) if w["depth"] == 2 and w["y"] == form["y"]),
                         key=lambda w: w["x"])
        return buttons[index]["id"]

    def parts(self, wid, depth=2):
        return sorted((w for w in self.x.descendants(wid) if w["depth"] == depth), key=lambda w: (w["y"], w["x"]))

    def test_cancel_at_save_changed_notes_leaves_everything(self):
        app, note = self.start_note()
        path = os.path.join(app.note_dir, "note1")
        with open(path, "rb") as f:
            saved = f.read()
        type_into_note(self.x, note, "X")
        journal = os.path.join(app.note_dir, ".recovery", "note1")
        wait_for(lambda: os.path.exists(journal), what="the recovery journal")
        control = self.x.mapped_window("stikkel")
        choose_from_main_menu(self.x, control, "Exit")
        prompt = self.x.wait_mapped("Save Notes Prompt")
        # The question, then Yes, No and Cancel side by side.
        label, yes, no, cancel = self.parts(prompt)
        self.assertTrue(yes["y"] == no["y"] == cancel["y"] > label["y"])
        self.assertTrue(yes["x"] < no["x"] < cancel["x"])
        self.x.click_center(cancel)
        self.x.wait_unmapped("Save Notes Prompt")
        time.sleep(0.5)
        self.assertIsNone(app.proc.poll())
        with open(path, "rb") as f:
            self.assertEqual(f.read(), saved)
        self.assertTrue(os.path.exists(journal), "the recovery file stays")
        # The note still takes keys, and Exit still asks; No still discards.
        type_into_note(self.x, note, "Y")
        choose_from_main_menu(self.x, control, "Exit")
        prompt = self.x.wait_mapped("Save Notes Prompt")
        self.x.click_center(self.parts(prompt)[2])
        self.assertEqual(app.wait_exit(timeout=20), 0)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), saved)

    def test_erase_and_destroy_ask_with_words(self):
        app, note = self.start_note()
        for entry in ("Erase", "Destroy"):
            before = self.x.viewable_overrides()
            self.x.choose_from_menu(self.bar_button(note, 1), NOTES_MENU, entry)
            popup = self.x.wait_new_override(before)
            parts = self.parts(popup)
            # A text of some lines above the two buttons.
            self.assertEqual(len(parts), 3, parts)
            question, confirm, cancel = parts
            self.assertLess(question["y"] + question["h"], confirm["y"] + 1)
            self.assertEqual(confirm["y"], cancel["y"])
            self.assertGreater(question["w"], 100)
            self.x.click_center(cancel)
            wait_for(lambda: not self.x.is_viewable_override(popup), what="the Confirm popup to go")
        self.assertIsNone(app.proc.poll())

    def test_alarm_setup_starts_at_the_next_minute(self):
        # The note's stored alarm fields say 1 January, 12:00.
        app, note = self.start_note()
        self.x.choose_from_menu(self.bar_button(note, 1), NOTES_MENU, "SetAlarm")
        before = time.time()
        dialog = self.x.wait_mapped("Alarms Setup")
        accept = [w for w in self.parts(dialog, 3) if w["w"] > 30][-2]
        self.x.click_center(accept)
        self.x.wait_unmapped("Alarms Setup")
        after = time.time()
        path = os.path.join(app.note_dir, "note1")
        mtime = os.stat(path).st_mtime_ns
        self.x.choose_from_menu(self.bar_button(note, 0), FILE_MENU, "Save")
        wait_for(lambda: os.stat(path).st_mtime_ns != mtime, what="the save")
        with open(path, "rb") as f:
            fields = [int(n) for n in f.readline().split()[1:]]
        alarm = fields[9:]  # set, month, day, hour, minute
        wanted = []
        for t in (before - 5, after):
            lt = time.localtime((int(t) // 60 + 1) * 60)
            wanted.append([1, lt.tm_mon - 1, lt.tm_mday, lt.tm_hour, lt.tm_min])
        self.assertIn(alarm, wanted)

    def test_right_click_released_at_once_runs_nothing(self):
        for corner in ("+0+0", "-0+0", "+0-0", "-0-0"):
            with self.subTest(corner=corner):
                app, note = self.start_note("text", "-geometry", "70x70" + corner)
                control = self.x.mapped_window("stikkel")
                x, y, w, h = self.x.geometry(control)
                self.x.xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
                windows = self.x.top_windows()
                before = self.x.viewable_overrides()
                # The hand shakes a pixel or two between press and release.
                self.x.xdotool("mousedown", "3", "mousemove_relative", "--sync", "2", "1", "mouseup", "3")
                wait_for(lambda: not (self.x.viewable_overrides() - before), what="the menu to go")
                time.sleep(0.5)
                self.assertIsNone(app.proc.poll(), "Exit ran")
                self.assertEqual(self.x.top_windows(), windows, "a window came or went")
                self.assertIsNone(self.x.mapped_window("Stikkel Error"))
                # The menu still chooses once the pointer moves onto an entry.
                choose_from_main_menu(self.x, control, "Raise All Notes")
                self.assertIsNone(self.x.mapped_window("Stikkel Error"))
                app.stop()
                self.x.wait_unmapped("stikkel")


if __name__ == "__main__":
    unittest.main()

"""Destroy and Name, chosen from a real note's Notes menu with the mouse."""

import os
import unittest

from e2e import E2ETest, make_note_dir, note_file, wait_for

NOTES_MENU = ["Menu", "-", "Hide", "Erase", "-", "Destroy", "-", "Name", "Anchor", "UnAnchor",
              "SetAlarm", "UnsetAlarm", "InsertCalendar", "InsertDate"]
FILE_MENU = ["Menu", "-", "Save", "Open", "Export", "Print", "EmailNote"]


class NoteCommandsTest(E2ETest):

    def start_with_note(self, name, text, file_name="note1"):
        home = os.path.join(self.x.tmp, "home")
        make_note_dir(home, {file_name: note_file(name, text, x=300, y=200)})
        app = self.start(home=home)
        app.wait_ready()
        return app, self.x.wait_mapped(name)

    def bar_button(self, note_wid, index):
        """The File (0) or Notes (1) menu button of a note window."""
        form = [w for w in self.x.descendants(note_wid) if w["depth"] == 1][0]
        buttons = sorted((w for w in self.x.descendants(note_wid) if w["depth"] == 2 and w["y"] == form["y"]),
                         key=lambda w: w["x"])
        return buttons[index]["id"]

    def choose(self, note_wid, entry):
        if entry in FILE_MENU:
            self.x.choose_from_menu(self.bar_button(note_wid, 0), FILE_MENU, entry)
        else:
            self.x.choose_from_menu(self.bar_button(note_wid, 1), NOTES_MENU, entry)

    def click_center(self, win):
        self.x.click(win["x"] + win["w"] // 2, win["y"] + win["h"] // 2)

    def answer_confirm(self, note_wid, entry, button):
        """Chooses entry, then presses Confirm (0) or Cancel (1) on the popup."""
        before = self.x.viewable_overrides()
        self.choose(note_wid, entry)
        popup = self.x.wait_new_override(before)
        parts = [w for w in self.x.descendants(popup) if w["depth"] == 2]
        # The buttons stand side by side under the question.
        bottom = max(w["y"] for w in parts)
        buttons = sorted((w for w in parts if w["y"] == bottom), key=lambda w: w["x"])
        self.assertEqual(len(buttons), 2)
        self.click_center(buttons[button])
        wait_for(lambda: not self.x.is_viewable_override(popup), what="the Confirm popup to go")

    def test_destroy_removes_window_and_file(self):
        app, wid = self.start_with_note("Old list", "eggs\n")
        path = os.path.join(app.note_dir, "note1")
        self.answer_confirm(wid, "Destroy", 1)  # Cancel first: nothing happens
        self.assertEqual(self.x.mapped_window("Old list"), wid)
        self.assertTrue(os.path.exists(path))
        self.answer_confirm(wid, "Destroy", 0)
        self.x.wait_unmapped("Old list")
        wait_for(lambda: not os.path.exists(path), what="the note file to go")
        self.assertIsNone(app.proc.poll(), "the program keeps running")
        self.assertEqual(app.note_files(), {})

    def name_dialog(self):
        dialog = self.x.wait_mapped("Name")
        parts = [w for w in self.x.descendants(dialog) if w["depth"] == 2]
        parts.sort(key=lambda w: (w["y"], w["x"]))
        # Label, text field, then Confirm and Cancel side by side.
        label, field, confirm, cancel = parts[0], parts[1], parts[2], parts[3]
        return dialog, field, confirm, cancel

    def test_name_renames_the_window_and_the_saved_file(self):
        app, wid = self.start_with_note("Note 1", "call the plumber\n")
        self.choose(wid, "Name")
        dialog, field, confirm, _ = self.name_dialog()
        _, _, width, _ = self.x.geometry(dialog)
        self.assertEqual(width, 160, "ten pixels for each of 6 + 10 characters")
        self.click_center(field)
        self.x.xdotool("key", "ctrl+a", "BackSpace")
        self.x.xdotool("type", "--delay", "20", "Plumber")
        # Return rings the bell and does not confirm.
        self.x.xdotool("key", "Return")
        self.x.xdotool("type", "--delay", "20", "!")
        self.assertEqual(self.x.mapped_window("Name"), dialog)
        self.assertEqual(self.x.wm_name(wid), "Note 1")
        self.click_center(confirm)
        self.x.wait_unmapped("Name")
        wait_for(lambda: self.x.wm_name(wid) == "Plumber!", what="the new title")

        self.choose(wid, "Save")
        wait_for(lambda: app.note_files()["note1"].split(b"\n")[1] == b"Plumber!", what="the saved name")
        self.assertTrue(app.note_files()["note1"].endswith(b"\nPlumber!\ncall the plumber\n"))

        # The next start shows the note under its new name.
        app.stop()
        again = self.start(home=app.home)
        again.wait_ready()
        self.x.wait_mapped("Plumber!")

    def test_cancelled_name_changes_nothing(self):
        app, wid = self.start_with_note("Keep", "text\n")
        self.choose(wid, "Name")
        dialog, field, _, cancel = self.name_dialog()
        self.click_center(field)
        self.x.xdotool("type", "--delay", "20", "xyz")
        self.click_center(cancel)
        self.x.wait_unmapped("Name")
        self.assertEqual(self.x.wm_name(wid), "Keep")


if __name__ == "__main__":
    unittest.main()

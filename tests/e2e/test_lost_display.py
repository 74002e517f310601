"""Losing the display loses nothing, and the window manager's close button
never ends the program: the X server dies or the window manager kills the
client under unsaved edits (the edits are on disk, exit status 1); twm's
delete (WM_DELETE_WINDOW) on a note hides it, on a dialog dismisses it."""

import os
import signal
import unittest

from e2e import E2ETest, TWMRC_DELETE, make_note_dir, note_file, wait_for
from faults import FILE_ENTRIES, choose_note_menu_entry, move_pointer, parse_note, type_into_note
from test_control_window import MainMenu


class LostDisplayTest(E2ETest):

    def setUp(self):
        super().setUp()
        self.home = os.path.join(self.x.tmp, "home")
        self.files = {
            "note1": note_file("Edited", "old text\n", x=100, y=120),
            "note2": note_file("Untouched", "leave me\n", x=500, y=120),
            "note3": note_file("Resized", "", x=900, y=120),
        }
        self.note_dir = make_note_dir(self.home, self.files)

    def read(self, name):
        with open(os.path.join(self.note_dir, name), "rb") as f:
            return f.read()

    def edit_then_lose_display(self, lose):
        app = self.start("-interval", "60", home=self.home)
        edited = self.x.wait_mapped("Edited")
        resized = self.x.wait_mapped("Resized")
        self.x.wait_mapped("Untouched")
        type_into_note(self.x, edited, "new ")
        # A resize the program learns of from the server, then an edit.
        self.x.xdotool("windowsize", "--sync", resized, 300, 250)
        type_into_note(self.x, resized, "sized")
        wait_for(lambda: self.x.geometry(resized)[2:] == (300, 250), what="the resize")
        lose(app, edited)
        self.assertEqual(app.wait_exit(), 1, app.stderr())
        note = parse_note(self.read("note1"))
        self.assertEqual(note["text"], b"new old text\n")
        self.assertEqual((note["x"], note["y"]), (100, 120))
        self.assertEqual((note["width"], note["height"]), (227, 169))
        note = parse_note(self.read("note3"))
        self.assertEqual(note["text"], b"sized")
        self.assertEqual((note["width"], note["height"]), (300, 250))
        self.assertEqual(self.read("note2"), self.files["note2"], "an untouched note is not rewritten")
        self.assertEqual(sorted(os.listdir(self.note_dir)), ["note1", "note2", "note3"])

    def test_server_killed(self):
        def kill_server(app, wid):
            self.x.xvfb.kill()
        self.edit_then_lose_display(kill_server)

    def test_client_killed_by_the_window_manager(self):
        def kill_client(app, wid):
            self.x.xdotool("windowkill", wid)
        self.edit_then_lose_display(kill_client)


class WindowManagerCloseTest(E2ETest):
    TWMRC = TWMRC_DELETE

    def setUp(self):
        super().setUp()
        self.home = os.path.join(self.x.tmp, "home")
        self.note_dir = make_note_dir(self.home, [(name, note_file(title, "text\n", x=x, y=120))
                                                  for name, title, x in (("note1", "Closed", 100),
                                                                         ("note2", "Open", 500))])

    def test_delete_hides_a_note(self):
        app = self.start("-sv", "-interval", "60", home=self.home)
        closed = self.x.wait_mapped("Closed")
        self.x.wait_mapped("Open")
        type_into_note(self.x, closed, "edit ")
        self.x.wm_delete(closed)
        self.x.wait_unmapped("Closed")
        self.assertIsNone(app.proc.poll(), "the program keeps running")
        self.assertIsNotNone(self.x.mapped_window("Open"))
        # The note is found again in the Hidden Notes list, and comes back.
        control = self.x.wait_mapped("stikkel")
        cx, cy, cw, ch = self.x.geometry(control)
        move_pointer(self.x, cx + cw // 2, cy + ch // 2)
        before = self.x.viewable_overrides()
        self.x.xdotool("mousedown", 3)
        menu = MainMenu(*self.x.geometry(self.x.wait_new_override(before)))
        move_pointer(self.x, *menu.row_center("Hidden Notes"))
        self.x.xdotool("mouseup", 3)
        hidden_list = self.x.wait_mapped("Hidden Notes")
        buttons = [d for d in self.x.descendants(hidden_list) if d["depth"] == 5]
        self.assertEqual(len(buttons), 1, "one hidden note")
        self.x.click(buttons[0]["x"] + 10, buttons[0]["y"] + buttons[0]["h"] // 2)
        closed = self.x.wait_mapped("Closed")
        self.x.wm_delete(closed)
        self.x.wait_unmapped("Closed")
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(), 0, app.stderr())
        with open(os.path.join(self.note_dir, "note1"), "rb") as f:
            note = parse_note(f.read())
        self.assertEqual(note["text"], b"edit text\n")
        self.assertEqual(note["hidden"], 1, "the closed note is a hidden note")
        # It comes back hidden: loaded, and no window made for it until it
        # is shown.
        app = self.start("-sv", "-interval", "60", home=self.home)
        self.x.wait_mapped("Open")
        self.assertFalse(self.x.find_windows("Closed"), "a hidden note makes no window until shown")
        self.assertIsNone(self.x.mapped_window("Closed"))

    def test_delete_dismisses_the_save_prompt(self):
        app = self.start("-interval", "60", home=self.home)
        wid = self.x.wait_mapped("Closed")
        # A changed note: with nothing to save a signal ends the program.
        type_into_note(self.x, wid, "x")
        for _ in range(2):
            app.signal(signal.SIGHUP)
            prompt = self.x.wait_mapped("Save Notes Prompt")
            self.x.wm_delete(prompt)
            self.x.wait_unmapped("Save Notes Prompt")
            self.assertIsNone(app.proc.poll(), "the program keeps running")
        self.assertIsNotNone(self.x.mapped_window("Closed"))

    def test_delete_dismisses_an_error_popup(self):
        app = self.start("-interval", "60", home=self.home)
        wid = self.x.wait_mapped("Closed")
        # The note's file becomes a directory: the save cannot replace it.
        path = os.path.join(self.note_dir, "note1")
        os.unlink(path)
        os.mkdir(path)
        type_into_note(self.x, wid, "x")
        choose_note_menu_entry(self.x, wid, "File", FILE_ENTRIES.index("Save"))
        popup = self.x.wait_mapped("Stikkel Error")
        self.x.wm_delete(popup)
        self.x.wait_unmapped("Stikkel Error")
        self.assertIsNone(app.proc.poll(), "the program keeps running")
        self.assertIsNotNone(self.x.mapped_window("Closed"))


if __name__ == "__main__":
    unittest.main()

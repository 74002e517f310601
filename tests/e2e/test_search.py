"""The keys of a note (Ctrl+N new note, Ctrl+S save, Ctrl+F the text's own
search, Ctrl+Shift+F search all notes, Ctrl+W hide) and the search of all
notes: typed into its field, Return or a click on a row shows and raises the
note that holds the text, hidden or not, with the match selected."""

import os
import unittest

from e2e import E2ETest, choose_from_main_menu, make_note_dir, note_file, wait_for
from faults import type_into_note


class SearchTest(E2ETest):

    def start_with(self, notes):
        home = os.path.join(self.x.tmp, "home")
        note_dir = make_note_dir(home, [("note%d" % i, data) for i, data in enumerate(notes, 1)])
        app = self.start("-interval", "60", home=home)
        app.wait_ready()
        return app, note_dir

    def primary(self):
        return self.x.run(["xclip", "-o", "-selection", "primary"], check=False)

    def focused(self):
        return self.x.run(["xdotool", "getwindowfocus"], check=False).strip()

    def search(self, query, open_with):
        """Opens the search with open_with(), types the query and Return."""
        open_with()
        dialog = self.x.wait_mapped("Search All Notes")
        x, y, w, h = self.x.geometry(dialog)
        # Keys go to the window under the pointer, and in the dialog to its field.
        self.x.xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
        self.x.xdotool("type", "--delay", "20", query)
        self.x.xdotool("key", "Return")
        self.x.wait_unmapped("Search All Notes")

    def test_keys_of_a_note(self):
        app, note_dir = self.start_with([note_file("Keys", "alpha beta", x=100, y=100)])
        keys = self.x.wait_mapped("Keys")
        type_into_note(self.x, keys, "")
        self.x.xdotool("key", "ctrl+e")
        self.x.xdotool("type", "--delay", "20", " gamma")
        self.x.xdotool("key", "ctrl+s")
        path = os.path.join(note_dir, "note1")

        def saved():
            with open(path, "rb") as f:
                return f.read().endswith(b"\nKeys\nalpha beta gamma")
        wait_for(saved, what="Ctrl+S to save")

        # Ctrl+Shift+F: the search of all notes.
        type_into_note(self.x, keys, "")
        self.search("BETA", lambda: self.x.xdotool("key", "ctrl+shift+f"))
        wait_for(lambda: self.primary() == "beta", what="the match selected")

        # Ctrl+N: a new note, ready for typing; Ctrl+W hides it.
        type_into_note(self.x, keys, "")
        self.x.xdotool("key", "ctrl+n")
        new = self.x.wait_mapped("Note 2")
        wait_for(lambda: self.focused() == str(new), what="focus on the new note")
        self.x.xdotool("key", "ctrl+w")
        self.x.wait_unmapped("Note 2")
        self.assertIsNotNone(self.x.mapped_window("Keys"))

        # Ctrl+F: the text widget's own search.
        type_into_note(self.x, keys, "")
        self.x.xdotool("key", "ctrl+f")
        self.x.wait_mapped("search")
        self.assertIsNone(app.proc.poll())

    def test_search_all_notes_finds_hidden_and_far_down(self):
        long_text = "".join("line %d\n" % i for i in range(1, 200)) + "the Needle is here\n"
        app, _ = self.start_with([
            note_file("Shopping", "eggs\nMILK\nbread", hidden=1),
            note_file("Work", "call Bob", x=300, y=100),
            note_file("Long", long_text, x=600, y=100, height=100),
        ])
        work = self.x.wait_mapped("Work")
        long_note = self.x.wait_mapped("Long")
        self.assertIsNone(self.x.mapped_window("Shopping"))
        control = self.x.mapped_window("stikkel")
        menu = lambda: choose_from_main_menu(self.x, control, "Search All Notes")

        # A hidden note is found and shown, its match selected.
        self.search("milk", menu)
        shopping = self.x.wait_mapped("Shopping")
        wait_for(lambda: self.primary() == "MILK", what="MILK selected")
        self.assertEqual(self.x.stacking([work, long_note, shopping])[-1], shopping)

        # A visible note below another comes to the top.
        self.search("needle", menu)
        wait_for(lambda: self.primary() == "Needle", what="Needle selected")
        wait_for(lambda: self.x.stacking([work, long_note, shopping])[-1] == long_note, what="Long on top")
        self.assertIsNone(app.proc.poll())


if __name__ == "__main__":
    unittest.main()

"""The desktop key map of note texts with real keys: copy, cut and paste
through the CLIPBOARD (a copy the program keeps), undo and redo, select all,
typing over a selection, Delete and BackSpace, Home and End, Shift with the
arrows; PRIMARY and button 2 as before; the mouse wheel; and `keyMap:
athena`, which keeps Athena's keys."""

import os
import subprocess
import unittest

from e2e import E2ETest, make_note_dir, note_file, wait_for


def journal(app):
    """The text of note1 as the recovery journal has it, or None."""
    try:
        with open(os.path.join(app.note_dir, ".recovery", "note1"), "rb") as f:
            return f.read().split(b"\n", 2)[2]
    except (OSError, IndexError):
        return None


class KeyMapTest(E2ETest):

    def start_note(self, text, *args):
        home = os.path.join(self.x.tmp, "home")
        make_note_dir(home, {"note1": note_file("Keys", text, x=300, y=200, width=400, height=200)})
        app = self.start(*args, home=home)
        app.wait_ready()
        note = self.x.wait_mapped("Keys")
        children = [w for w in self.x.descendants(note) if w["depth"] == 2]
        self.text = max(children, key=lambda w: w["w"] * w["h"])
        # A click in the text gives it the pointer and the focus (twm).
        self.x.click(self.text["x"] + self.text["w"] - 10, self.text["y"] + self.text["h"] - 10)
        return app

    def keys(self, *keys):
        self.x.xdotool("key", "--delay", "20", *keys)

    def expect(self, app, text, what):
        wait_for(lambda: journal(app) == text, timeout=10,
                 what="%s: %r (the journal has %r)" % (what, text, journal(app)))

    def clipboard(self, selection="clipboard"):
        p = subprocess.run(["xclip", "-o", "-selection", selection], env=self.x.env, capture_output=True,
                           timeout=10)
        return p.stdout if p.returncode == 0 else None

    def test_desktop_editing_keys(self):
        app = self.start_note("hello world")
        steps = [
            # (keys, the text after them, what they do)
            (["ctrl+Home"] + ["shift+Right"] * 5 + ["ctrl+c", "ctrl+End", "ctrl+v"],
             b"hello worldhello", "Ctrl+C copies, a click or key elsewhere keeps it, Ctrl+V pastes"),
            (["ctrl+a", "ctrl+x"], b"", "Ctrl+A selects all, Ctrl+X cuts"),
            (["ctrl+z"], b"hello worldhello", "Ctrl+Z undoes the cut"),
            (["ctrl+shift+z"], b"", "Ctrl+Shift+Z redoes it"),
            (["ctrl+z", "ctrl+z"], b"hello world", "Ctrl+Z undoes change after change"),
            (["ctrl+y"], b"hello worldhello", "Ctrl+Y redoes too"),
            (["ctrl+End", "ctrl+shift+Left", "t", "o", "o"], b"hello too", "typing replaces the selection"),
            (["Home", "Delete"], b"ello too", "Delete deletes forward; Home starts the line"),
            (["End", "BackSpace"], b"ello to", "BackSpace deletes backward; End ends the line"),
            (["Home", "shift+End", "ctrl+v"], b"hello worldhello", "pasting replaces the selection"),
        ]
        for keys, text, what in steps:
            self.keys(*keys)
            self.expect(app, text, what)
        # The CLIPBOARD is a copy, kept while the text it came from is gone.
        self.assertEqual(self.clipboard(), b"hello worldhello")
        self.assertIsNone(app.proc.poll())

    def test_primary_and_button_2_stay(self):
        app = self.start_note("one two")
        subprocess.run(["xclip", "-i", "-selection", "clipboard"], input=b"[clip]", env=self.x.env, check=True)
        # A drag with button 1 selects: PRIMARY, not the CLIPBOARD.
        y = self.text["y"] + 8
        self.x.xdotool("mousemove", "--sync", self.text["x"] + 3, y)
        self.x.xdotool("mousedown", 1)
        self.x.xdotool("mousemove", "--sync", self.text["x"] + self.text["w"] - 5, y)
        self.x.xdotool("mouseup", 1)
        wait_for(lambda: self.clipboard("primary") == b"one two", what="the PRIMARY selection")
        self.assertEqual(self.clipboard(), b"[clip]")
        self.keys("ctrl+End")
        self.x.click(self.text["x"] + self.text["w"] - 10, self.text["y"] + self.text["h"] - 10, button=2)
        self.expect(app, b"one twoone two", "button 2 pastes PRIMARY at the caret")
        self.assertIsNone(app.proc.poll())

    def test_athena_map_keeps_the_emacs_keys(self):
        app = self.start_note("abc", "-xrm", "Kleebord.keyMap: athena")
        # Ctrl+A to the start of the line, Ctrl+E to its end, Delete deletes
        # backward, Ctrl+X is a byte of text.
        self.keys("ctrl+a", "x", "ctrl+e", "Delete", "ctrl+x")
        self.expect(app, b"xab\x18", "Athena's keys")
        self.assertIsNone(app.proc.poll())

    def test_unknown_key_map_is_told_and_the_desktop_one_taken(self):
        app = self.start_note("abc", "-xrm", "Kleebord.keyMap: vi")
        self.keys("ctrl+a", "z")
        self.expect(app, b"z", "the desktop map")
        self.assertIn('key map "vi" is neither desktop nor athena; using desktop', app.stderr())

    def test_wheel_scrolls_the_text(self):
        lines = "".join("line %d\n" % i for i in range(1, 61))
        app = self.start_note(lines)
        self.keys("ctrl+Home")
        # Two notches down, one up: three lines down. A click on the top
        # line and Home then put the caret at its start.
        x, y = self.text["x"] + self.text["w"] // 2, self.text["y"] + self.text["h"] // 2
        self.x.xdotool("mousemove", "--sync", x, y)
        self.x.xdotool("click", "5", "click", "5", "click", "4")
        self.x.click(self.text["x"] + 40, self.text["y"] + 6)
        self.keys("Home", "X")
        self.expect(app, lines.replace("\nline 4\n", "\nXline 4\n").encode(), "the wheel scrolls three lines a notch")
        self.assertIsNone(app.proc.poll())


if __name__ == "__main__":
    unittest.main()

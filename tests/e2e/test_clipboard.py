"""Copy and paste with today's programs in the Athena key map (keyMap:
athena), with real input: a selection in a note is also the CLIPBOARD;
Shift+Insert and Ctrl+Shift+V paste the CLIPBOARD; Athena's Emacs keys and
button 2 still work. (The desktop map: test_key_map.)"""

import os
import subprocess
import unittest

from e2e import E2ETest, make_note_dir, note_file, wait_for

FILE_MENU = ["Menu", "-", "Save", "Open", "Export", "Print", "EmailNote"]


class ClipboardTest(E2ETest):

    def start_with_note(self, name, text):
        home = os.path.join(self.x.tmp, "home")
        make_note_dir(home, {"note1": note_file(name, text, x=300, y=200, width=400, height=200)})
        app = self.start("-xrm", "Kleebord.keyMap: athena", home=home)
        app.wait_ready()
        return app, self.x.wait_mapped(name)

    def parts(self, note_wid):
        """The File button and the text area of a note window."""
        form = [w for w in self.x.descendants(note_wid) if w["depth"] == 1][0]
        children = [w for w in self.x.descendants(note_wid) if w["depth"] == 2]
        file_button = min((w for w in children if w["y"] == form["y"]), key=lambda w: w["x"])
        text = max(children, key=lambda w: w["w"] * w["h"])
        return file_button, text

    def saved_text(self, app, note_wid):
        file_button, _ = self.parts(note_wid)
        path = os.path.join(app.note_dir, "note1")
        before = os.stat(path).st_mtime_ns
        self.x.choose_from_menu(file_button["id"], FILE_MENU, "Save")
        wait_for(lambda: os.stat(path).st_mtime_ns != before, what="the save")
        with open(path, "rb") as f:
            return f.read().split(b"\n", 2)[2]

    def own(self, selection, data):
        """Makes an outside program (xclip) the owner of a selection."""
        owner = subprocess.Popen(["xclip", "-quiet", "-selection", selection, "-i"], env=self.x.env,
                                 stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(owner.kill)
        owner.stdin.write(data)
        owner.stdin.close()
        wait_for(lambda: self.read(selection) == data.decode(), what="xclip to own " + selection)

    def read(self, selection):
        p = subprocess.run(["xclip", "-o", "-selection", selection], env=self.x.env, capture_output=True,
                           text=True, timeout=10)
        return p.stdout if p.returncode == 0 else None

    def test_paste_keys_take_the_clipboard(self):
        app, note = self.start_with_note("Board", "ab")
        _, text = self.parts(note)
        self.own("primary", b"[primary]")
        self.own("clipboard", b"[copied]")
        # A click puts the insertion point; it takes nothing from the
        # clipboard of the other program.
        self.x.click(text["x"] + text["w"] - 10, text["y"] + text["h"] - 10)
        self.assertEqual(self.read("clipboard"), "[copied]")
        self.x.xdotool("key", "shift+Insert")
        self.x.xdotool("key", "ctrl+shift+v")
        wait_for(lambda: self.saved_text(app, note) == b"ab[copied][copied]", what="both pastes")
        # The Emacs keys stay: Ctrl-A goes to the start of the line, Ctrl-K
        # cuts to its end; button 2 still pastes the PRIMARY selection.
        self.x.xdotool("key", "ctrl+a", "Right", "ctrl+k")
        self.x.click(text["x"] + text["w"] - 10, text["y"] + text["h"] - 10, button=2)
        wait_for(lambda: self.saved_text(app, note) == b"a[primary]", what="the Emacs keys and button 2")
        self.assertIsNone(app.proc.poll())

    def test_a_selection_in_a_note_is_the_clipboard(self):
        app, note = self.start_with_note("Board", "select me please")
        _, text = self.parts(note)
        self.own("clipboard", b"old")
        # Button 1 dragged over the first line, from its very start.
        y = text["y"] + 8
        self.x.xdotool("mousemove", "--sync", text["x"] + 3, y)
        self.x.xdotool("mousedown", 1)
        self.x.xdotool("mousemove", "--sync", text["x"] + text["w"] - 5, y)
        self.x.xdotool("mouseup", 1)
        wait_for(lambda: self.read("clipboard") == "select me please", what="the CLIPBOARD")
        self.assertEqual(self.read("primary"), "select me please")
        self.assertIsNone(app.proc.poll())


if __name__ == "__main__":
    unittest.main()

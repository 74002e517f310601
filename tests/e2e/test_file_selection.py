"""Open and Export through a real note's File menu, driven with the mouse
and the keyboard."""

import os
import re
import unittest

from e2e import E2ETest, make_note_dir, note_file, wait_for

FILE_MENU = ["Menu", "-", "Save", "Open", "Export", "Print", "EmailNote"]
TITLE = "File Selection Window"


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


class FileSelectionTest(E2ETest):

    # --- finding windows ----------------------------------------------------

    def descendants(self, wid):
        """Every window below wid as dicts with id, depth (1 = child), absolute
        x, y and w, h, in xwininfo's order."""
        out = self.x.run(["xwininfo", "-tree", "-id", str(wid)], check=False)
        pat = re.compile(r'^(\s*)(0x[0-9a-f]+) (?:".*"|\(has no name\)):.*?\s+(\d+)x(\d+)\+(-?\d+)\+(-?\d+)'
                         r'\s+\+(-?\d+)\+(-?\d+)')
        result = []
        for line in out.splitlines():
            m = pat.match(line)
            if m:
                result.append(dict(id=int(m.group(2), 16), depth=(len(m.group(1)) - 5) // 3 + 1,
                                   w=int(m.group(3)), h=int(m.group(4)),
                                   x=int(m.group(7)), y=int(m.group(8))))
        return result

    def at_depth(self, wid, depth):
        return [w for w in self.descendants(wid) if w["depth"] == depth]

    def top_windows(self):
        out = self.x.run(["xwininfo", "-root", "-children"], check=False)
        return set(int(m, 16) for m in re.findall(r"^\s+(0x[0-9a-f]+)", out, re.M))

    def viewable_override(self, wid):
        out = self.x.run(["xwininfo", "-id", str(wid)], check=False)
        return "Map State: IsViewable" in out and "Override Redirect State: yes" in out

    def click_center(self, win):
        self.x.click(win["x"] + win["w"] // 2, win["y"] + win["h"] // 2)

    # --- the note and its File menu -------------------------------------------

    def start_with_note(self, name, text, *args):
        home = os.path.join(self.x.tmp, "home")
        make_note_dir(home, {"note1": note_file(name, text, x=300, y=200)})
        app = self.start(*args, home=home)
        app.wait_ready()
        return app, self.x.wait_mapped(name)

    def choose_file_entry(self, note_wid, entry):
        """Pops up the note's File menu with button 1 and releases on entry."""
        form = self.at_depth(note_wid, 1)[0]
        file_button = min((w for w in self.at_depth(note_wid, 2) if w["y"] == form["y"]), key=lambda w: w["x"])
        # The menu window is made on its first use and kept: look for an
        # override-redirect window that was not showing before.
        before = set(w for w in self.top_windows() if self.viewable_override(w))
        self.x.xdotool("mousemove", "--sync", file_button["x"] + file_button["w"] // 2,
                       file_button["y"] + file_button["h"] // 2)
        self.x.xdotool("mousedown", 1)

        def new_menu():
            return next((w for w in self.top_windows() - before if self.viewable_override(w)), None)
        menu = wait_for(new_menu, what="the File menu")
        mx, my, mw, mh = self.x.geometry(menu)
        # Every entry, the title first, is one text line high; "-" is a
        # one-pixel line.
        lines = FILE_MENU.count("-")
        row = (mh - lines) / (len(FILE_MENU) - lines)
        top = my
        for item in FILE_MENU:
            if item == entry:
                break
            top += 1 if item == "-" else row
        self.x.xdotool("mousemove", "--sync", mx + mw // 2, int(top + row / 2))
        self.x.xdotool("mouseup", 1)
        wait_for(lambda: not self.viewable_override(menu), what="the menu to go")

    def selection_parts(self, wid):
        """The file buttons, the text field and the Accept and Cancel buttons
        of the file selection window."""
        form = self.at_depth(wid, 1)[0]
        rows = sorted(self.at_depth(wid, 2), key=lambda w: w["y"])  # lists, label, text, buttons
        self.assertEqual(len(rows), 4, rows)
        lists, text, buttons = rows[0], rows[2], rows[3]
        viewports = sorted((w for w in self.at_depth(wid, 3)
                            if lists["x"] <= w["x"] < lists["x"] + lists["w"] and lists["y"] <= w["y"] < lists["y"] + lists["h"]),
                           key=lambda w: w["x"])
        file_view = viewports[-1]
        file_buttons = sorted((w for w in self.at_depth(wid, 6)
                               if file_view["x"] <= w["x"] < file_view["x"] + file_view["w"]),
                              key=lambda w: w["y"])
        accept, cancel = sorted((w for w in self.at_depth(wid, 3) if w["y"] >= buttons["y"]), key=lambda w: w["x"])
        self.assertGreater(form["w"], 0)
        return file_buttons, text, accept, cancel

    def save_and_read(self, app, note_wid):
        path = os.path.join(app.note_dir, "note1")
        before = os.stat(path).st_mtime_ns
        self.choose_file_entry(note_wid, "Save")
        wait_for(lambda: os.stat(path).st_mtime_ns != before, what="the note to be saved")
        with open(path, "rb") as f:
            return f.read()

    # --- the tests ------------------------------------------------------------

    def test_open_inserts_the_chosen_file(self):
        files = os.path.join(self.x.tmp, "files")
        os.makedirs(files)
        with open(os.path.join(files, "recipe.txt"), "w") as f:
            f.write("flour, sugar")
        app, note = self.start_with_note("Kitchen", "", "-homedir", files)
        self.choose_file_entry(note, "Open")
        window = self.x.wait_mapped(TITLE)
        file_buttons, _, _, _ = self.selection_parts(window)
        self.assertEqual(len(file_buttons), 1)
        self.click_center(file_buttons[0])
        self.x.wait_unmapped(TITLE)
        self.assertTrue(self.save_and_read(app, note).endswith(b"\nKitchen\nflour, sugar"))
        self.assertIsNone(app.proc.poll())

    def test_export_to_a_typed_new_name(self):
        app, note = self.start_with_note("Shopping", "eggs\nmilk")
        self.choose_file_entry(note, "Export")
        window = self.x.wait_mapped(TITLE)
        _, text, accept, _ = self.selection_parts(window)
        target = os.path.join(app.home, "list.txt")
        self.x.xdotool("mousemove", "--sync", text["x"] + text["w"] // 2, text["y"] + text["h"] // 2)
        self.x.xdotool("click", 1)
        self.x.xdotool("key", "ctrl+a", "BackSpace")
        self.x.xdotool("type", "--delay", "20", target)
        self.click_center(accept)
        self.x.wait_unmapped(TITLE)
        wait_for(lambda: os.path.exists(target), what="the exported file")
        with open(target, "rb") as f:
            self.assertEqual(f.read(), b"eggs\nmilk\n")
        self.assertIsNone(app.proc.poll())

    def test_export_onto_a_listed_file_asks_first(self):
        files = os.path.join(self.x.tmp, "files")
        os.makedirs(files)
        target = os.path.join(files, "list.txt")
        with open(target, "w") as f:
            f.write("the old list\n")
        os.chmod(target, 0o640)
        app, note = self.start_with_note("Shopping", "eggs\nmilk", "-homedir", files)
        for answer, expected in ((1, b"the old list\n"), (0, b"eggs\nmilk\n")):
            self.choose_file_entry(note, "Export")
            window = self.x.wait_mapped(TITLE)
            file_buttons, _, _, _ = self.selection_parts(window)
            self.assertEqual(len(file_buttons), 1)
            self.click_center(file_buttons[0])
            # The selection window gives way to the question, which has the
            # same title: a label over Accept and Cancel.
            question = wait_for(lambda: next((w for w in self.x.find_windows(TITLE)
                                              if w["id"] != window and self.x.mapped_window(TITLE) == w["id"]),
                                             None), what="the confirmation")
            self.assertEqual(read_file(target), b"the old list\n", "nothing is written before the answer")
            parts = sorted(self.at_depth(question["id"], 2), key=lambda w: (w["y"], w["x"]))
            self.assertEqual(len(parts), 3, parts)
            self.click_center(parts[1 + answer])
            self.x.wait_unmapped(TITLE)
            wait_for(lambda: read_file(target) == expected, what="the file as answered")
        self.assertEqual(os.stat(target).st_mode & 0o7777, 0o640)
        self.assertEqual(sorted(os.listdir(files)), ["list.txt"])
        self.assertIsNone(app.proc.poll())

    def test_an_error_over_the_window_can_be_dismissed(self):
        app, note = self.start_with_note("Kitchen", "")
        self.choose_file_entry(note, "Open")
        window = self.x.wait_mapped(TITLE)
        _, text, accept, _ = self.selection_parts(window)
        self.click_center(text)
        self.x.xdotool("key", "ctrl+a", "BackSpace")
        self.x.xdotool("type", "--delay", "20", "/no/such/file")
        self.click_center(accept)
        error = self.x.wait_mapped("Stikkel Error")
        # The error's Continue button: the one button of its dialog.
        button = min((w for w in self.x.descendants(error) if w["depth"] == 2), key=lambda w: w["w"] * w["h"])
        self.click_center(button)
        self.x.wait_unmapped("Stikkel Error")
        self.assertEqual(self.x.mapped_window(TITLE), window, "the window stays up")
        self.assertIsNone(app.proc.poll())


if __name__ == "__main__":
    unittest.main()

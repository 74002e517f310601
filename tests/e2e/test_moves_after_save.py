"""A note moved through the window manager after it was saved is written at
its new place by the next save; its unmoved neighbour is not rewritten.
(Saving asks the X server where a note stands only after the window manager
has told the note of a change.)"""

import os
import signal
import unittest

from e2e import E2ETest, make_note_dir, note_file, wait_for

FILE_MENU = ["Menu", "-", "Save", "Open", "Export", "Print", "EmailNote"]


def read(path):
    with open(path, "rb") as f:
        return f.read()


def header(data):
    return data.split(b"\n", 1)[0].split()[1:]


class MovesAfterSaveTest(E2ETest):

    def file_button(self, note_wid):
        form = [w for w in self.x.descendants(note_wid) if w["depth"] == 1][0]
        buttons = sorted((w for w in self.x.descendants(note_wid) if w["depth"] == 2 and w["y"] == form["y"]),
                         key=lambda w: w["x"])
        return buttons[0]["id"]

    def frame_of(self, wid):
        x, y, _, _ = self.x.geometry(self.x.outer_window(wid))
        return x, y

    def test_move_after_a_save_is_written_by_the_next(self):
        home = os.path.join(self.x.tmp, "home")
        note_dir = make_note_dir(home, {"note1": note_file("Mover", "text", x=200, y=300),
                                        "note2": note_file("Stayer", "text", x=700, y=300)})
        app = self.start("-sv", "-ns", home=home)
        app.wait_ready()
        mover = self.x.wait_mapped("Mover")
        self.x.wait_mapped("Stayer")
        stayer_mtime = os.stat(os.path.join(note_dir, "note2")).st_mtime_ns

        # An edit and File > Save: the note is written and counts as saved
        # where it stands.
        self.x.click_window(mover, 100, 100)
        self.x.xdotool("type", "--delay", "20", "new ")
        self.x.choose_from_menu(self.file_button(mover), FILE_MENU, "Save")
        path = os.path.join(note_dir, "note1")
        wait_for(lambda: b"new" in read(path), what="the saved edit")

        # Moved through the window manager, as a drag of the title bar ends.
        self.x.xdotool("windowmove", mover, 640, 480)
        wait_for(lambda: self.frame_of(mover)[0] > 600, what="the move")
        frame = self.frame_of(mover)
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(), 0)
        saved = read(path)
        self.assertEqual(header(saved)[:2], [str(frame[0]).encode(), str(frame[1]).encode()])
        self.assertIn(b"new", saved)
        self.assertEqual(os.stat(os.path.join(note_dir, "note2")).st_mtime_ns, stayer_mtime)


if __name__ == "__main__":
    unittest.main()

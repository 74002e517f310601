"""Notes grow: typing past the first buffer keeps every key, huge -bs values
cost no memory and load every note, and an edit that would pass the 16 MiB
cap is refused whole, at once, with a popup, and leaves no memory behind."""

import os
import shutil
import signal
import unittest

from e2e import E2ETest, make_note_dir, note_file, wait_for
from test_paste_edges import Selection, saved_notes, settle

CAP = 16 * 1024 * 1024



class NoteGrowthTest(E2ETest):

    def write(self, home, notes):
        return make_note_dir(home, [("note%d" % i, note_file(name, text, x=20 + 330 * (i - 1), y=60, width=300,
                                                             height=200))
                                    for i, (name, text) in enumerate(notes, 1)])

    def saved(self, note_dir):
        return saved_notes(note_dir)

    def rss_kb(self, app):
        with open("/proc/%d/status" % app.proc.pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return 0

    def test_typing_past_the_first_buffer_keeps_every_key(self):
        for args, start_len in (((), 1000), (("-bs", "24"), 20)):
            with self.subTest(args=args):
                home = os.path.join(self.x.tmp, "home-%d" % start_len)
                note_dir = self.write(home, [("Typed", b"t" * start_len)])
                app = self.start("-sv", *args, home=home)
                wid = self.x.wait_mapped("Typed")
                self.x.click_window(wid, 150, 120)
                typed = "0123456789" * 6
                self.x.xdotool("type", "--delay", "15", typed)
                settle(app.proc)
                app.signal(signal.SIGTERM)
                self.assertEqual(app.wait_exit(), 0)
                length, body = self.saved(note_dir)["Typed"]
                self.assertEqual(length, start_len + len(typed))
                self.assertEqual(sorted(body), sorted(b"t" * start_len + typed.encode()))

    def test_huge_buffer_sizes_cost_nothing_and_load_every_note(self):
        names = ["One", "Two", "Three"]
        for size in ("1073741824", "2147483647"):
            with self.subTest(bs=size):
                home = os.path.join(self.x.tmp, "home-" + size)
                note_dir = self.write(home, [(n, n.lower() + " text") for n in names])
                app = self.start("-sv", "-bs", size, home=home)
                windows = [self.x.wait_mapped(n) for n in names]
                self.assertLess(self.rss_kb(app), 64 * 1024, "memory follows the text, not -bs")
                self.x.click_window(windows[0], 150, 120)
                self.x.xdotool("type", "--delay", "15", "more")
                settle(app.proc)
                app.signal(signal.SIGTERM)
                self.assertEqual(app.wait_exit(), 0)
                saved = self.saved(note_dir)
                self.assertEqual(sorted(saved), sorted(names))
                self.assertEqual(saved["One"][0], len("one text") + 4)


    @unittest.skipUnless(shutil.which("xclip"), "needs xclip")
    def test_edit_past_the_cap_is_refused_whole_at_once(self):
        home = os.path.join(self.x.tmp, "home")
        full = b"f" * (CAP - 50)
        note_dir = self.write(home, [("Full", full), ("Other", b"other")])
        app = self.start("-sv", "-bs", "64", home=home)
        full_wid = self.x.wait_mapped("Full", timeout=60)
        self.x.wait_mapped("Other")
        settle(app.proc)
        # 4 MB: refused as a whole, and the program answers at once (the
        # popup shows within seconds; refusing used to restore the text
        # after every piece, for minutes).
        sel = Selection(self.x, b"p" * (4 * 1024 * 1024))
        try:
            self.x.click_window(full_wid, 150, 120, button=2)
            self.x.wait_mapped("Stikkel Error", timeout=20)
        finally:
            sel.close()
        settle(app.proc)
        # 200 KB pastes, again and again: each refused, and nothing of them
        # stays in memory (neither in the text source nor the selection
        # value received for the paste). One popup stands for them all.
        # (The popup stands at the pointer, so these clicks go above and to
        # the left of it.)
        sel = Selection(self.x, b"q" * (200 * 1024))
        try:
            self.x.click_window(full_wid, 30, 70, button=2)
            settle(app.proc)
            before = self.rss_kb(app)
            for _ in range(40):
                self.x.click_window(full_wid, 30, 70, button=2)
                settle(app.proc, quiet=0.3)
            grown = self.rss_kb(app) - before
        finally:
            sel.close()
        self.assertLess(grown, 2048, "KiB grown over 40 refused pastes of 200 KB")
        popups = self.x.run(["xdotool", "search", "--onlyvisible", "--name", "^Stikkel Error$"],
                            check=False).split()
        self.assertEqual(len(popups), 1, "one popup for the refused edits of one note")
        # An edit that fits still goes in: 50 bytes make the note exactly full.
        sel = Selection(self.x, b"r" * 50)
        try:
            self.x.click_window(full_wid, 30, 70, button=2)
            settle(app.proc)
        finally:
            sel.close()
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(timeout=30), 0)
        length, body = self.saved(note_dir)["Full"]
        self.assertEqual(length, CAP)
        self.assertEqual(body.count(b"r"), 50)
        self.assertNotIn(b"p", body)
        self.assertNotIn(b"q", body)


if __name__ == "__main__":
    unittest.main()

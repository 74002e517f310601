"""A note directory that other programs change while stikkel runs (a sync
engine such as Syncthing: it writes a hidden temporary and renames it over
the note file, adds files and deletes them). Nothing is lost: a save looks
at a note file again before it replaces it, and the watch of the directory
brings changes in while the program runs."""

import os
import signal
import unittest

from e2e import E2ETest, make_note_dir, note_file, wait_for
from faults import FILE_ENTRIES, choose_note_menu_entry, parse_note, sync_note, type_into_note

TOLD = "Stikkel Notes Changed"


class SharedFolderTest(E2ETest):

    def setUp(self):
        super().setUp()
        self.home = os.path.join(self.x.tmp, "home")
        self.note_dir = make_note_dir(self.home, {"note1": note_file("Groceries", "milk\n", x=40, y=120)})

    def path(self, name):
        return os.path.join(self.note_dir, name)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return parse_note(f.read())

    def from_elsewhere(self, name, data):
        """What a sync engine does: a hidden temporary renamed over the file."""
        temp = self.path(".syncthing.%s.tmp" % name)
        with open(temp, "wb") as f:
            f.write(data)
        os.rename(temp, self.path(name))

    def notes_on_disk(self):
        return sorted(n for n in os.listdir(self.note_dir) if n.startswith("note"))

    def test_changed_here_and_elsewhere_keeps_both_versions(self):
        app = self.start("-interval", "60", home=self.home)
        wid = self.x.wait_mapped("Groceries")
        type_into_note(self.x, wid, "eggs ")
        sync_note(self.x, wid)
        self.from_elsewhere("note1", note_file("Groceries", "milk\nbread\n", x=600, y=300))
        choose_note_menu_entry(self.x, wid, "File", FILE_ENTRIES.index("Save"))
        self.x.wait_mapped("Groceries (from sync)")
        self.x.wait_mapped(TOLD)
        wait_for(lambda: self.notes_on_disk() == ["note1", "note2"], what="the other version's file")
        self.assertEqual(self.read("note1")["text"], b"eggs milk\n", "this machine's version in the note's file")
        other = self.read("note2")
        self.assertEqual((other["name"], other["text"]), (b"Groceries (from sync)", b"milk\nbread\n"))
        self.assertEqual(len(self.x.find_windows(TOLD)), 1, "told once")
        self.assertNotIn("stikkel:", app.stderr())

    def test_each_save_that_meets_a_file_changed_or_deleted_elsewhere(self):
        cases = [
            # (what, done here, done elsewhere, note1 after the exit save, notes on disk)
            ("moved here, replaced there: theirs stays", "move", "replace", b"milk\nbread\n", ["note1"]),
            ("typed here, deleted there: written again", "type", "delete", b"eggs milk\n", ["note1"]),
            ("moved here, deleted there: stays deleted", "move", "delete", None, []),
        ]
        for what, here, elsewhere, after, on_disk in cases:
            with self.subTest(what):
                make_note_dir(self.home, {"note1": note_file("Groceries", "milk\n", x=40, y=120)})
                app = self.start("-sv", "-interval", "60", home=self.home)
                self.addCleanup(app.stop)
                wid = self.x.wait_mapped("Groceries")
                if here == "type":
                    type_into_note(self.x, wid, "eggs ")
                    sync_note(self.x, wid)
                else:
                    self.x.xdotool("windowmove", wid, 500, 400)
                    wait_for(lambda: self.x.geometry(self.x.outer_window(wid))[0] > 300, what="the move")
                if elsewhere == "replace":
                    self.from_elsewhere("note1", note_file("Groceries", "milk\nbread\n", x=600, y=300))
                else:
                    os.unlink(self.path("note1"))
                app.signal(signal.SIGTERM)
                self.assertEqual(app.wait_exit(), 0, app.stderr())
                self.assertEqual(self.notes_on_disk(), on_disk)
                if after is not None:
                    self.assertEqual(self.read("note1")["text"], after)
                    if here == "move":
                        self.assertEqual(self.read("note1")["x"], 600, "their place too")
                self.assertNotIn("stikkel:", app.stderr())
                self.x.wait_unmapped("Groceries")
                self.apps.remove(app)

    def test_a_start_removes_crash_temporaries_and_never_reads_sync_temporaries(self):
        leftovers = {"sk1.4242.aBcDeF": note_file("Groceries", "a copy\n"),
                     "note2.part": note_file("Half synced", "x"),
                     ".syncthing.note3.tmp": note_file("Being synced", "y")}
        make_note_dir(self.home, leftovers)
        app = self.start(home=self.home)
        self.x.wait_mapped("Groceries")
        app.wait_ready()
        self.assertFalse(os.path.exists(self.path("sk1.4242.aBcDeF")), "a crash's temporary goes")
        self.assertTrue(os.path.exists(self.path("note2.part")))
        self.assertTrue(os.path.exists(self.path(".syncthing.note3.tmp")))
        self.assertEqual(self.x.find_windows("Half synced") + self.x.find_windows("Being synced"), [])
        self.assertNotIn("stikkel:", app.stderr())


if __name__ == "__main__":
    unittest.main()

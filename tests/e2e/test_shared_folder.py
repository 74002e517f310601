"""A note directory that other programs change while stikkel runs (a sync
engine such as Syncthing: it writes a hidden temporary and renames it over
the note file, adds files and deletes them). Nothing is lost: a save looks
at a note file again before it replaces it, and the watch of the directory
brings changes in while the program runs."""

import os
import shutil
import signal
import time
import unittest

from e2e import SOURCE_DIR, E2ETest, choose_from_main_menu, make_note_dir, note_file, wait_for
from faults import FILE_ENTRIES, choose_note_menu_entry, move_pointer, parse_note, sync_note, type_into_note

TOLD = "Stikkel Notes Changed"
NOTES_MENU = ["Menu", "-", "Hide", "Erase", "-", "Destroy", "-", "Name", "Anchor", "UnAnchor",
              "SetAlarm", "UnsetAlarm", "InsertCalendar", "InsertDate"]
# What the watch of the note directory promises: changes show within this.
SHOWN_WITHIN = 2.0


class SharedFolderBase(E2ETest):
    """A home whose note directory holds note1, and what other programs do
    to it."""

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


class SharedFolderTest(SharedFolderBase):

    def test_changed_here_and_elsewhere_keeps_both_versions(self):
        app = self.start("-interval", "60", home=self.home)
        wid = self.x.wait_mapped("Groceries")
        type_into_note(self.x, wid, "eggs ")
        sync_note(self.x, wid)
        self.from_elsewhere("note1", note_file("Groceries", "milk\nbread\n", x=600, y=300))
        # The watch of the directory finds it within moments (a save would
        # too); the new window must not come up over the open menu.
        self.x.wait_mapped("Groceries (from sync)")
        self.x.wait_mapped(TOLD)
        choose_note_menu_entry(self.x, wid, "File", FILE_ENTRIES.index("Save"))
        wait_for(lambda: self.read("note1")["text"] == b"eggs milk\n", what="the save")
        wait_for(lambda: self.notes_on_disk() == ["note1", "note2"], what="the other version's file")
        self.assertEqual(self.read("note1")["text"], b"eggs milk\n", "this machine's version in the note's file")
        other = self.read("note2")
        self.assertEqual((other["name"], other["text"]), (b"Groceries (from sync)", b"milk\nbread\n"))
        self.assertEqual(len(self.x.find_windows(TOLD)), 1, "told once")
        self.assertNotIn("stikkel:", app.stderr())

    def test_a_new_version_shows_in_the_window_being_typed_into(self):
        # The note is focused, nothing typed yet: the new version comes into
        # this very window, which keeps the focus, so that keys typed right
        # after (or meanwhile) go into it, at the insertion point.
        app = self.start("-interval", "60", home=self.home)
        wid = self.x.wait_mapped("Groceries")
        gx, gy, w, h = self.x.geometry(wid)
        focused = lambda: self.x.run(["xdotool", "getwindowfocus"], check=False).strip() == str(wid)
        move_pointer(self.x, gx + w // 2, gy + h // 2 + 10)
        wait_for(focused, what="focus on the note")
        self.from_elsewhere("note1", note_file("Groceries list", "milk\nbread\n", x=40, y=120))
        self.assertEqual(self.x.wait_mapped("Groceries list", timeout=SHOWN_WITHIN + 3), wid, "the same window")
        self.assertTrue(focused(), "it keeps the focus")
        self.x.xdotool("type", "--delay", "1", "eggs ")
        sync_note(self.x, wid)
        choose_note_menu_entry(self.x, wid, "File", FILE_ENTRIES.index("Save"))
        wait_for(lambda: self.read("note1")["text"] == b"eggs milk\nbread\n", what="the save of what was typed")
        self.assertEqual(self.read("note1")["name"], b"Groceries list")
        self.assertEqual(self.notes_on_disk(), ["note1"])
        self.assertNotIn("stikkel:", app.stderr())

    def test_a_new_note_whose_number_another_machine_took_is_kept(self):
        # Made and saved here; the other machine made its own note under
        # the same number meanwhile, and an engine that keeps the last
        # writer's file (no conflict copy) puts it in place of this one's.
        app = self.start("-interval", "60", home=self.home)
        self.x.wait_mapped("Groceries")
        choose_from_main_menu(self.x, self.x.mapped_window("stikkel"), "Create 3x5 Note")
        wid = self.x.wait_mapped("Note 2")
        type_into_note(self.x, wid, "made here ")
        sync_note(self.x, wid)
        choose_note_menu_entry(self.x, wid, "File", FILE_ENTRIES.index("Save"))
        wait_for(lambda: os.path.exists(self.path("note2")) and self.read("note2")["text"] == b"made here ",
                 what="the first save")
        self.from_elsewhere("note2", note_file("Note 2", "bread\n", x=300, y=300))
        self.x.wait_mapped("Note 2 (from sync)", timeout=SHOWN_WITHIN + 3)
        self.assertEqual(self.x.mapped_window("Note 2"), wid, "this machine's note stays")
        wait_for(lambda: self.read("note2")["text"] == b"made here ", timeout=SHOWN_WITHIN + 3,
                 what="this machine's note written again")
        self.assertEqual(self.read("note3")["text"], b"bread\n")
        self.assertEqual(self.notes_on_disk(), ["note1", "note2", "note3"])
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

    def bar_button(self, note_wid, index):
        form = [w for w in self.x.descendants(note_wid) if w["depth"] == 1][0]
        buttons = sorted((w for w in self.x.descendants(note_wid) if w["depth"] == 2 and w["y"] == form["y"]),
                         key=lambda w: w["x"])
        return buttons[index]["id"]

    def destroy(self, wid):
        before = self.x.viewable_overrides()
        self.x.choose_from_menu(self.bar_button(wid, 1), NOTES_MENU, "Destroy")
        popup = self.x.wait_new_override(before)
        buttons = self.x.confirm_buttons(popup)
        self.x.click(buttons[0]["x"] + buttons[0]["w"] // 2, buttons[0]["y"] + buttons[0]["h"] // 2)

    def shown_within(self, title, seconds=SHOWN_WITHIN):
        start = time.monotonic()
        wid = self.x.wait_mapped(title, timeout=seconds + 3)
        took = time.monotonic() - start
        self.assertLess(took, seconds, "%r showed after %.2f s" % (title, took))
        return wid

    def gone_within(self, title, seconds=SHOWN_WITHIN):
        start = time.monotonic()
        self.x.wait_unmapped(title, timeout=seconds + 3)
        self.assertLess(time.monotonic() - start, seconds, "%r went too late" % title)

    def test_the_notes_follow_the_directory_while_the_program_runs(self):
        make_note_dir(self.home, {"note2": note_file("Work", "call Bob\n", x=400, y=120)})
        app = self.start("-sv", "-interval", "60", home=self.home)
        self.x.wait_mapped("Groceries")
        work = self.x.wait_mapped("Work")

        # Replaced elsewhere, nothing changed here: the note takes it all.
        self.from_elsewhere("note1", note_file("Groceries list", "milk\nbread\n", x=700, y=500))
        wid = self.shown_within("Groceries list")
        self.assertIsNone(self.x.mapped_window("Groceries"))
        self.assertGreater(self.x.geometry(self.x.outer_window(wid))[0], 600, "its place too")

        # A file comes, and goes again.
        self.from_elsewhere("note3", note_file("Arrived", "from the laptop\n", x=100, y=500))
        self.shown_within("Arrived")
        os.unlink(self.path("note3"))
        self.gone_within("Arrived")

        # Typed here, replaced there: both versions, told once.
        type_into_note(self.x, work, "mine ")
        sync_note(self.x, work)
        self.from_elsewhere("note2", note_file("Work", "theirs\n", x=400, y=400))
        self.shown_within("Work (from sync)")
        self.x.wait_mapped(TOLD)
        self.assertIsNotNone(self.x.mapped_window("Work"), "this machine's version stays in its window")

        # Typed here, deleted there: it stays and is saved again.
        wid = self.x.wait_mapped("Groceries list")
        type_into_note(self.x, wid, "eggs ")
        sync_note(self.x, wid)
        os.unlink(self.path("note1"))
        wait_for(lambda: os.path.exists(self.path("note1")), timeout=SHOWN_WITHIN + 3, what="note1 saved again")
        self.assertEqual(self.read("note1")["text"], b"eggs milk\nbread\n")

        # Destroyed here, then a stale copy comes back: it stays destroyed.
        with open(self.path("note1"), "rb") as f:
            stale = f.read()
        self.destroy(self.x.wait_mapped("Groceries list"))
        self.x.wait_unmapped("Groceries list")
        wait_for(lambda: not os.path.exists(self.path("note1")), what="the destroyed note's file to go")
        self.from_elsewhere("note1", stale)
        wait_for(lambda: not os.path.exists(self.path("note1")), timeout=SHOWN_WITHIN + 3, what="the stale copy to go")
        self.assertIsNone(self.x.mapped_window("Groceries list"))

        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(), 0, app.stderr())
        on_disk = {}
        for name in self.notes_on_disk():
            note = self.read(name)
            on_disk[note["name"]] = note["text"]
        self.assertEqual(on_disk, {b"Work": b"mine call Bob\n", b"Work (from sync)": b"theirs\n"})
        self.assertEqual(len(self.x.find_windows(TOLD)), 0)
        self.assertNotIn("stikkel:", app.stderr())

    @staticmethod
    def names_holder(lock, app):
        try:
            with open(lock) as f:
                return f.read().endswith(" %d\n" % app.proc.pid)
        except FileNotFoundError:
            return False

    def test_a_deleted_or_replaced_lock_file_lets_no_second_stikkel_in(self):
        app = self.start(home=self.home)
        self.x.wait_mapped("Groceries")
        lock = self.path(".lock")
        wait_for(lambda: self.names_holder(lock, app), what="the lock file to name the holder")
        for what in ("deleted", "replaced"):
            with self.subTest(what):
                if what == "deleted":
                    os.unlink(lock)
                else:
                    with open(lock + ".new", "w") as f:
                        f.write("elsewhere 7\n")
                    os.rename(lock + ".new", lock)
                wait_for(lambda: self.names_holder(lock, app), what="the holder to name itself again")
                second = self.start(home=self.home)
                self.assertEqual(second.wait_exit(timeout=20), 0, "asked the holder to raise its notes")
                self.apps.remove(second)
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(), 0)
        self.assertFalse(os.path.exists(lock))

    def test_hidden_notes_follow_the_directory_too(self):
        # A hidden note has no window until it is shown: a new version of
        # one and the deletion of another reach them all the same.
        make_note_dir(self.home, {"note2": note_file("Away", "old\n", hidden=1),
                                  "note3": note_file("Gone", "bye\n", hidden=1)})
        app = self.start("-sv", "-interval", "60", home=self.home)
        self.x.wait_mapped("Groceries")
        self.from_elsewhere("note2", note_file("Away", "new\n", hidden=1))
        os.unlink(self.path("note3"))
        # A note that arrives after them shows once they are dealt with.
        self.from_elsewhere("note4", note_file("Later", "x\n", x=300, y=300))
        self.x.wait_mapped("Later")
        self.assertIsNone(app.proc.poll(), app.stderr())
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(), 0, app.stderr())
        self.assertEqual(self.read("note2")["text"], b"new\n")
        self.assertEqual(self.notes_on_disk(), ["note1", "note2", "note4"])


@unittest.skipUnless(shutil.which("valgrind"), "needs valgrind")
class SharedFolderUnderValgrindTest(SharedFolderBase):
    """A note's window showing its changed file, the window of a
    note that came, the windows of notes that went and the popup of both
    versions all pass through libXt and libXaw, whose writes only valgrind
    sees."""

    def test_windows_changed_made_and_gone_for_changes_from_elsewhere(self):
        make_note_dir(self.home, {"note2": note_file("Work", "call Bob\n", x=400, y=120)})
        log = os.path.join(self.x.tmp, "valgrind.log")
        wrapper = ["valgrind", "-q", "--error-exitcode=99", "--errors-for-leak-kinds=none",
                   "--suppressions=" + os.path.join(SOURCE_DIR, "tests", "support", "valgrind.supp"),
                   "--log-file=" + log]
        app = self.start("-sv", "-interval", "60", home=self.home, wrapper=wrapper)
        self.x.wait_mapped("Groceries", timeout=180)
        work = self.x.wait_mapped("Work", timeout=180)
        self.from_elsewhere("note1", note_file("Groceries list", "bread\n", x=700, y=500))
        self.x.wait_mapped("Groceries list", timeout=60)
        self.from_elsewhere("note3", note_file("Arrived", "x\n", x=100, y=500))
        self.x.wait_mapped("Arrived", timeout=60)
        os.unlink(self.path("note3"))
        self.x.wait_unmapped("Arrived", timeout=60)
        type_into_note(self.x, work, "mine ")
        sync_note(self.x, work)
        self.from_elsewhere("note2", note_file("Work", "theirs\n", x=400, y=400))
        self.x.wait_mapped("Work (from sync)", timeout=60)
        self.x.wait_mapped(TOLD, timeout=60)
        app.signal(signal.SIGTERM)
        status = app.wait_exit(timeout=120)
        with open(log) as f:
            report = f.read()
        self.assertEqual(status, 0, report)
        self.assertEqual(report, "")


if __name__ == "__main__":
    unittest.main()

"""Saving many notes on a slow disk (a preloaded shim makes every fsync of a
save's temporary take a while): Save All leaves the program answering a
probe client while the files are written, a note typed into meanwhile ends
up saved with what was typed, and SIGTERM with -sv during the save ends the
program only once every note is on disk."""

import os
import signal
import tempfile
import time
import unittest

from e2e import E2ETest, choose_from_main_menu, make_note_dir, note_file, wait_for
from faults import build_fault_shim, note_dir_state, parse_note, type_into_note
from test_many_notes import max_unanswered
from xprobe import Probe

NOTES = 8
SLOW_MS = 300  # per fsync: a pass in the main loop would stand still NOTES times that
ANSWER = 1.0   # seconds the program may leave a request unanswered


class SlowSavesTest(E2ETest):

    @classmethod
    def setUpClass(cls):
        cls.build = tempfile.mkdtemp(prefix="stikkel-slow-shim-")
        cls.shim = build_fault_shim(cls.build)

    @classmethod
    def tearDownClass(cls):
        import shutil
        shutil.rmtree(cls.build, ignore_errors=True)

    def start_moved(self, *args):
        """Starts the program on a slow disk with NOTES notes and moves each
        one through the window manager: every note needs saving."""
        home = tempfile.mkdtemp(prefix="stikkel-home-", dir=self.x.tmp)
        self.names = ["slow %d" % i for i in range(1, NOTES + 1)]
        self.note_dir = make_note_dir(home, [("note%d" % i, note_file(name, "text %d\n" % i, x=40 + 300 * ((i - 1) % 4),
                                                                     y=60 + 300 * ((i - 1) // 4)))
                                             for i, name in enumerate(self.names, 1)])
        self.old = note_dir_state(self.note_dir)[0]
        app = self.start("-na", "-interval", "60", *args, home=home,
                         env={"LD_PRELOAD": self.shim, "STIKKEL_SLOW_FSYNC_MS": str(SLOW_MS)})
        app.wait_ready()
        self.control = self.x.mapped_window("stikkel")
        self.windows = [self.x.wait_mapped(name) for name in self.names]
        frames = [self.x.outer_window(w) for w in self.windows]
        before = [self.x.geometry(f)[:2] for f in frames]
        for w, (x, y) in zip(self.windows, before):
            self.x.xdotool("windowmove", w, x + 13, y + 9)
        wait_for(lambda: all(self.x.geometry(f)[:2] != p for f, p in zip(frames, before)), timeout=30,
                 what="twm to move the notes")
        time.sleep(0.5)  # the program takes in the window manager's notices
        return app

    def all_written(self):
        """Every note file holds its moved place, and no temporary is left."""
        notes, others = note_dir_state(self.note_dir)
        if [o for o in others if o != ".recovery"] or sorted(notes) != sorted(self.old):
            return False
        return all(parse_note(notes[n])["x"] != parse_note(self.old[n])["x"] for n in notes)

    def test_save_all_answers_while_the_files_are_written_and_keeps_what_is_typed_meanwhile(self):
        app = self.start_moved("-sv")
        probe = Probe(self.x.env, self.control)
        self.addCleanup(probe.stop)
        probe.wait_answer()
        t0 = choose_from_main_menu(self.x, self.control, "Save All Notes", wait_gone=False,
                                   before_release=time.monotonic)
        # Typed while the files are written: the pass may have formatted
        # this note before, but what was typed is never dropped.
        type_into_note(self.x, self.windows[0], "later ")
        wait_for(self.all_written, timeout=60, what="every note file to be written")
        waited = max_unanswered(probe, t0)
        self.assertLess(waited, ANSWER, "the program stood still while the files were written")
        self.assertEqual(app.stderr(), "", "nothing failed, and no note file counts as another program's")
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(timeout=60), 0)
        notes, others = note_dir_state(self.note_dir)
        self.assertEqual(sorted(notes), sorted(self.old), "no other note came of the save")
        self.assertEqual([o for o in others if o != ".recovery"], [])
        typed = [parse_note(data)["text"] for data in notes.values() if parse_note(data)["name"] == b"slow 1"]
        self.assertEqual(typed, [b"later text 1\n"])

    def test_sigterm_during_save_all_ends_once_every_note_is_on_disk(self):
        app = self.start_moved("-sv")
        choose_from_main_menu(self.x, self.control, "Save All Notes", wait_gone=False)
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(timeout=60), 0)
        self.assertTrue(self.all_written(), note_dir_state(self.note_dir))
        self.assertEqual(app.stderr(), "")


if __name__ == "__main__":
    unittest.main()

"""Ending the program: with nothing to save it ends at once; a save that
fails at exit never drops the edit. Answered Yes, or chosen Exit with -sv,
the program stays up with the error popup and the note unsaved; told to end
by a signal with -sv, it writes the note's text to the recovery place, says
so on standard error and ends with status 1."""

import os
import shutil
import signal
import time
import unittest

from e2e import E2ETest, choose_from_main_menu, make_note_dir, note_file, wait_for
from faults import parse_note, parse_recovery, sync_note, type_into_note

OLD = note_file("Precious", "old words\n", x=100, y=120)


class ExitSavesTest(E2ETest):

    def setUp(self):
        super().setUp()
        self.home = os.path.join(self.x.tmp, "home")
        self.note_dir = make_note_dir(self.home, {"note1": OLD})
        self.path = os.path.join(self.note_dir, "note1")

    def block_the_note_file(self):
        """The note's file becomes a directory: no save can replace it."""
        os.unlink(self.path)
        os.mkdir(self.path)
        with open(os.path.join(self.path, "keep"), "w") as f:
            f.write("x")

    def unblock_the_note_file(self):
        shutil.rmtree(self.path)

    def choose_exit(self):
        choose_from_main_menu(self.x, self.x.mapped_window("stikkel"), "Exit", wait_gone=False)

    def click_yes(self):
        wid = self.x.wait_mapped("Save Notes Prompt")
        subs = [w for w in self.x.subwindows(wid) if w["w"] > 5 and w["h"] > 5]
        top = min(w["y"] for w in subs)
        yes = sorted((w for w in subs if w["y"] > top + 5), key=lambda w: w["x"])[0]
        self.x.click_center(yes)

    def test_nothing_to_save_ends_at_once(self):
        for how in ("signal", "menu"):
            app = self.start("-interval", "60", home=self.home)
            self.x.wait_mapped("Precious")
            start = time.monotonic()
            if how == "signal":
                app.signal(signal.SIGTERM)
            else:
                self.choose_exit()
            self.assertEqual(app.wait_exit(timeout=20), 0, how)
            self.assertIsNone(self.x.mapped_window("Save Notes Prompt"), how)
            self.assertLess(time.monotonic() - start, 10, how)
            with open(self.path, "rb") as f:
                self.assertEqual(f.read(), OLD, how)
            self.x.wait_unmapped("stikkel")

    def test_signal_with_save_notes_writes_the_recovery_file_and_ends_with_1(self):
        app = self.start("-sv", "-interval", "60", home=self.home)
        wid = self.x.wait_mapped("Precious")
        type_into_note(self.x, wid, "new ")
        sync_note(self.x, wid)  # the program has the edit before the exit request
        self.block_the_note_file()
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(timeout=20), 1, app.stderr())
        recovery = os.path.join(self.note_dir, ".recovery", "note1")
        self.assertIn("stikkel: note 1 could not be saved; its text is in %s\n" % recovery, app.stderr())
        with open(recovery, "rb") as f:
            saved = parse_recovery(f.read())
        self.assertEqual(saved["text"], b"new old words\n")
        self.assertEqual(saved["name"], b"Precious")
        self.assertEqual(sorted(os.listdir(os.path.join(self.note_dir, ".recovery"))), ["note1"])

    def test_yes_that_fails_keeps_the_program_up_until_the_save_succeeds(self):
        app = self.start("-interval", "60", home=self.home)
        wid = self.x.wait_mapped("Precious")
        type_into_note(self.x, wid, "new ")
        sync_note(self.x, wid)  # the program has the edit before the exit request
        self.block_the_note_file()
        app.signal(signal.SIGTERM)
        self.click_yes()
        self.x.wait_mapped("Stikkel Error")
        time.sleep(1)
        self.assertIsNone(app.proc.poll(), "the program stays up")
        self.assertIsNotNone(self.x.mapped_window("Precious"), "with the unsaved note")
        # Room is made; Exit again, Yes: saved, and the program ends.
        self.unblock_the_note_file()
        app.signal(signal.SIGTERM)
        self.click_yes()
        self.assertEqual(app.wait_exit(timeout=20), 0, app.stderr())
        with open(self.path, "rb") as f:
            self.assertEqual(parse_note(f.read())["text"], b"new old words\n")

    def test_exit_with_save_notes_that_fails_keeps_the_program_up(self):
        app = self.start("-sv", "-interval", "60", home=self.home)
        wid = self.x.wait_mapped("Precious")
        type_into_note(self.x, wid, "new ")
        sync_note(self.x, wid)  # the program has the edit before the exit request
        self.block_the_note_file()
        self.choose_exit()
        self.x.wait_mapped("Stikkel Error")
        time.sleep(1)
        self.assertIsNone(app.proc.poll(), "the program stays up")
        self.unblock_the_note_file()
        self.choose_exit()
        self.assertEqual(app.wait_exit(timeout=20), 0, app.stderr())
        with open(self.path, "rb") as f:
            self.assertEqual(parse_note(f.read())["text"], b"new old words\n")


class WindowManagerKilledTest(E2ETest):
    """Killing the window manager puts the notes back on the root at the
    same spot on screen, without their frames: nobody moved them, and their
    files keep their places, also when a window manager takes them again."""

    def test_untouched_note_keeps_its_stored_place(self):
        home = os.path.join(self.x.tmp, "home")
        stored = note_file("Still", "stay\n", x=100, y=120)
        path = os.path.join(make_note_dir(home, {"note1": stored}), "note1")
        app = self.start("-sv", "-interval", "60", home=home)
        wid = self.x.wait_mapped("Still")
        wait_for(lambda: self.x.outer_window(wid) != wid, what="the frame")
        self.x.twm.kill()
        self.x.twm.wait()
        wait_for(lambda: self.x.outer_window(wid) == wid, what="the note back on the root")
        # Saving while no window manager runs, then under a new one.
        self.save_all(app)
        self.x.start_wm()
        wait_for(lambda: self.x.outer_window(wid) != wid, what="a new frame")
        self.save_all(app)
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(timeout=20), 0, app.stderr())
        with open(path, "rb") as f:
            self.assertEqual(f.read(), stored)

    def save_all(self, app):
        choose_from_main_menu(self.x, self.x.mapped_window("stikkel"), "Save All Notes", wait_gone=False)
        time.sleep(1)
        self.assertIsNone(app.proc.poll())


if __name__ == "__main__":
    unittest.main()

"""The recovery journal end to end: what was typed into notes survives a
SIGKILL (the notes come back with it, marked changed, and one popup names
them), and a No at the exit prompt discards it for good."""

import os
import shutil
import signal
import tempfile
import time
import unittest

from e2e import E2ETest, make_note_dir, note_file, wait_for
from faults import (FILE_ENTRIES, build_fault_shim, choose_note_menu_entry, move_pointer, parse_note, parse_recovery,
                    sync_note, type_into_note)
from xprobe import Probe

NOTES = {"note1": ("Shopping", "milk\n", 40), "note2": ("Work", "call Bob\n", 420)}
POPUP = "Stikkel Recovery"


class RecoveryTest(E2ETest):

    def setUp(self):
        super().setUp()
        self.home = os.path.join(self.x.tmp, "home")
        self.note_dir = make_note_dir(self.home, [(file_name, note_file(title, text, x=x, y=120, height=200, width=230))
                                                  for file_name, (title, text, x) in NOTES.items()])
        self.recovery_dir = os.path.join(self.note_dir, ".recovery")
        self.saved = self.files()

    def files(self):
        out = {}
        for name in NOTES:
            with open(os.path.join(self.note_dir, name), "rb") as f:
                out[name] = f.read()
        return out

    def recovery_files(self):
        if not os.path.isdir(self.recovery_dir):
            return {}
        out = {}
        for name in os.listdir(self.recovery_dir):
            with open(os.path.join(self.recovery_dir, name), "rb") as f:
                out[name] = f.read()
        return out

    def type_into_both(self, app):
        """Types a word into each note; returns {file name: typed}."""
        typed = {}
        for file_name, (title, _, _) in NOTES.items():
            wid = self.x.wait_mapped(title)
            word = "ABC" if file_name == "note1" else "XYZ"
            type_into_note(self.x, wid, word)
            sync_note(self.x, wid)
            typed[file_name] = word
        return typed

    def wait_recovered(self, typed):
        """Waits (at most a few seconds) until both recovery files hold what
        was typed, then 1.5 s more as the journal promises."""
        time.sleep(1.5)
        def complete():
            files = self.recovery_files()
            return all(name in files and parse_recovery(files[name])["text"].startswith(word.encode())
                       for name, word in typed.items())
        wait_for(complete, timeout=5, what="the recovery files")

    def test_sigkill_keeps_what_was_typed(self):
        app = self.start(home=self.home)
        typed = self.type_into_both(app)
        time.sleep(1.5)
        files = self.recovery_files()
        self.assertEqual(sorted(files), ["note1", "note2"], "written within 1.5 s of the typing")
        app.signal(signal.SIGKILL)
        app.proc.wait(10)
        self.apps.remove(app)
        self.assertEqual(self.files(), self.saved)
        for name, word in typed.items():
            self.assertEqual(parse_recovery(files[name])["text"], (word + NOTES[name][1]).encode())

        app = self.start(home=self.home)
        self.x.wait_mapped(POPUP)
        time.sleep(0.5)
        self.assertEqual(self.files(), self.saved, "nothing is written over a note file at start-up")
        self.assertEqual(len(self.x.find_windows(POPUP)), 1, "one popup")
        # Save is sensitive, and saving writes the recovered text.
        for file_name, (title, text, _) in NOTES.items():
            wid = self.x.wait_mapped(title)
            choose_note_menu_entry(self.x, wid, "File", FILE_ENTRIES.index("Save"))
            expected = (typed[file_name] + text).encode()
            wait_for(lambda: parse_note(self.files()[file_name])["text"] == expected,
                     what="%s saved with the recovered text" % file_name)
        wait_for(lambda: self.recovery_files() == {}, what="the recovery files to go after saving")
        self.assertNotIn("stikkel:", app.stderr())

    def test_no_at_the_exit_prompt_discards(self):
        app = self.start(home=self.home)
        typed = self.type_into_both(app)
        self.wait_recovered(typed)
        app.signal(signal.SIGTERM)
        prompt = self.x.wait_mapped("Save Notes Prompt")
        subs = [w for w in self.x.subwindows(prompt) if w["w"] > 5 and w["h"] > 5]
        top = min(w["y"] for w in subs)
        no = sorted((w for w in subs if w["y"] > top + 5), key=lambda w: w["x"])[1]  # Yes, No, Cancel
        self.x.click_center(no)
        self.assertEqual(app.wait_exit(), 0)
        self.apps.remove(app)
        self.assertEqual(self.recovery_files(), {})
        self.assertEqual(self.files(), self.saved)

        app = self.start(home=self.home)
        for title, _, _ in NOTES.values():
            self.x.wait_mapped(title)
        time.sleep(1.0)
        self.assertEqual(self.x.find_windows(POPUP), [], "no popup")
        # Save is insensitive: choosing it writes nothing.
        wid = self.x.wait_mapped("Shopping")
        mtime = os.stat(os.path.join(self.note_dir, "note1")).st_mtime_ns
        choose_note_menu_entry(self.x, wid, "File", FILE_ENTRIES.index("Save"))
        sync_note(self.x, wid)
        self.assertEqual(os.stat(os.path.join(self.note_dir, "note1")).st_mtime_ns, mtime)
        self.assertEqual(self.files(), self.saved)

    def test_a_second_start_leaves_the_journal_alone(self):
        app = self.start(home=self.home)
        wid = self.x.wait_mapped("Shopping")
        type_into_note(self.x, wid, "ABC")
        # All of it written: nothing is pending in the journal.
        wait_for(lambda: self.recovery_files().get("note1", b"").endswith(b"ABCmilk\n"), what="the recovery file")
        # As if the running program were in the middle of a write.
        with open(os.path.join(self.recovery_dir, "tmp.%d.abcdef" % app.proc.pid), "wb") as f:
            f.write(b"half a wri")
        before = {name: (data, os.stat(os.path.join(self.recovery_dir, name)).st_mtime_ns)
                  for name, data in self.recovery_files().items()}
        second = self.start(home=self.home)
        self.assertEqual(second.wait_exit(timeout=30), 0, second.stderr())
        after = {name: (data, os.stat(os.path.join(self.recovery_dir, name)).st_mtime_ns)
                 for name, data in self.recovery_files().items()}
        self.assertEqual(after, before)
        self.assertEqual(self.x.find_windows(POPUP), [])
        self.assertEqual(self.files(), self.saved)

    def fault_shim(self):
        build = tempfile.mkdtemp(prefix="stikkel-shim-")
        self.addCleanup(shutil.rmtree, build, True)
        return build_fault_shim(build)

    def test_a_slow_disk_does_not_hold_up_typing(self):
        # Every flush of a recovery file takes 2 s, as on a busy disk.
        app = self.start(home=self.home, env={"LD_PRELOAD": self.fault_shim(), "STIKKEL_FAULT": "fsync",
                                              "STIKKEL_FAULT_FILE": "tmp.", "STIKKEL_FAULT_COUNT": "1000",
                                              "STIKKEL_FAULT_DELAY_MS": "2000"})
        wid = self.x.wait_mapped("Shopping")
        probe = Probe(self.x.env, wid)
        self.addCleanup(probe.stop)
        probe.wait_answer()
        type_into_note(self.x, wid, "ABC")
        # The journal's write has begun (half a second after the keys) and
        # waits for the disk: the keys typed meanwhile are taken at once.
        time.sleep(0.8)
        t0 = time.monotonic()
        self.x.xdotool("type", "--delay", "50", "DEFGHIJKLM")
        sync_note(self.x, wid)
        time.sleep(0.5)
        t1 = time.monotonic()
        longest = probe.unanswered(t0, t1)
        self.assertLess(longest, 0.5, "the program answered nothing for %.2f s while the journal wrote" % longest)
        self.assertLess(t1 - t0, 1.9, "the keys went in without waiting for the disk")
        # The writes still get there, the newest last.
        wait_for(lambda: self.recovery_files().get("note1", b"").endswith(b"ABCDEFGHIJKLMmilk\n"), timeout=15,
                 what="the recovery file with every key")
        probe.stop()
        self.assertNotIn("stikkel:", app.stderr())

    def test_full_disk_keeps_the_last_good_recovery_file(self):
        shim = self.fault_shim()
        # The journal's first write goes through; every one after it finds
        # the disk full.
        app = self.start(home=self.home, env={"LD_PRELOAD": shim, "STIKKEL_FAULT": "write",
                                              "STIKKEL_FAULT_FILE": "tmp.", "STIKKEL_FAULT_SKIP": "1",
                                              "STIKKEL_FAULT_COUNT": "1000", "STIKKEL_FAULT_ENOSPC": "1"})
        wid = self.x.wait_mapped("Shopping")
        note1 = os.path.join(self.recovery_dir, "note1")
        type_into_note(self.x, wid, "ABC")
        wait_for(lambda: self.recovery_files().get("note1", b"").endswith(b"ABCmilk\n"), what="the first write")
        for word in ("DEF", "GHI"):
            type_into_note(self.x, wid, word)
            sync_note(self.x, wid)
            # The failure is told in a popup at the pointer: away from the
            # note, where it covers none of what the test presses; it is
            # dismissed before the note is typed into again.
            move_pointer(self.x, 1800, 1000)
            if word == "DEF":
                error = self.x.wait_mapped("Stikkel Error")
                button = min((w for w in self.x.descendants(error) if w["depth"] == 2),
                             key=lambda w: w["w"] * w["h"])
                self.x.click_center(button)
                self.x.wait_unmapped("Stikkel Error")
            time.sleep(1.5)
        err = app.stderr()
        self.assertRegex(err, r"^stikkel: %s/tmp\.%d\.\w{6}: No space left on device\n$"
                         % (self.recovery_dir, app.proc.pid), "told once")
        self.assertEqual(os.listdir(self.recovery_dir), ["note1"], "no temporary is left")
        with open(note1, "rb") as f:
            self.assertEqual(parse_recovery(f.read())["text"], b"ABCmilk\n", "the last good write stays")
        app.signal(signal.SIGKILL)
        app.proc.wait(10)
        self.apps.remove(app)
        self.x.wait_unmapped("Shopping")

        # The next start brings back what the last good write holds.
        app = self.start(home=self.home)
        self.x.wait_mapped(POPUP)
        wid = self.x.wait_mapped("Shopping")
        choose_note_menu_entry(self.x, wid, "File", FILE_ENTRIES.index("Save"))
        wait_for(lambda: parse_note(self.files()["note1"])["text"] == b"ABCmilk\n", what="the recovered text saved")
        self.assertEqual(self.files()["note2"], self.saved["note2"])
        self.assertNotIn("stikkel:", app.stderr())


if __name__ == "__main__":
    unittest.main()

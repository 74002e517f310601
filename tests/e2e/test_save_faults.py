"""Write faults under the real program: write, fsync, close and rename of
its temporary file fail once (a preloaded shim). Each failed save tells the
user (standard error and a popup), leaves the note file as it was and Save
sensitive; the next save through the menu succeeds."""

import os
import signal
import unittest

from e2e import E2ETest, make_note_dir, note_file, wait_for
from faults import build_fault_shim, FILE_ENTRIES, choose_note_menu_entry, note_dir_state, parse_note, type_into_note


# fault -> (the line on standard error, the files left besides the note
# file). {t} is the temporary file, {p} the note file.
FAULTS = {
    "write": ("stikkel: {t}: Input/output error\n", []),
    "fsync": ("stikkel: {t}: Input/output error\n", []),
    "close": ("stikkel: {t}: Input/output error\n", []),
    "rename": ("stikkel: {t}-{p}: Input/output error\n", ["sk1."]),
}


class SaveFaultsTest(E2ETest):

    @classmethod
    def setUpClass(cls):
        cls.build = os.path.join(os.environ.get("TMPDIR", "/tmp"), "stikkel-fault-shim-%d" % os.getpid())
        os.makedirs(cls.build, exist_ok=True)
        cls.shim = build_fault_shim(cls.build)

    @classmethod
    def tearDownClass(cls):
        import shutil
        shutil.rmtree(cls.build, ignore_errors=True)

    def test_each_fault_once(self):
        for fault, expected in FAULTS.items():
            with self.subTest(fault=fault):
                self.check_fault(fault, *expected)

    def check_fault(self, fault, stderr_line, leftover):
        home = os.path.join(self.x.tmp, "home-" + fault)
        old = note_file("Faulty", "old\n", x=100, y=120)
        note_dir = make_note_dir(home, {"note1": old})
        path = os.path.join(note_dir, "note1")
        app = self.start("-sv", "-interval", "60", home=home,
                         env={"LD_PRELOAD": self.shim, "STIKKEL_FAULT": fault})
        try:
            self.run_fault(app, home, note_dir, path, old, stderr_line, leftover)
        finally:
            app.stop()
            self.x.wait_unmapped("Faulty")

    def run_fault(self, app, home, note_dir, path, old, stderr_line, leftover):
        wid = self.x.wait_mapped("Faulty")
        type_into_note(self.x, wid, "new ")
        choose_note_menu_entry(self.x, wid, "File", FILE_ENTRIES.index("Save"))
        self.x.wait_mapped("Stikkel Error")
        # Each save's temporary has a name of its own: sk1.<pid>.XXXXXX.
        err = app.stderr()
        stem = os.path.join(note_dir, "sk1.%d." % app.proc.pid)
        self.assertTrue(err.startswith("stikkel: " + stem), err)
        temp = err[len("stikkel: "):len("stikkel: ") + len(stem) + 6]
        self.assertEqual(err, stderr_line.format(t=temp, p=path))
        with open(path, "rb") as f:
            self.assertEqual(f.read(), old, "the note file is as it was")
        notes, others = note_dir_state(note_dir)
        # The recovery journal may have written the note meanwhile; it keeps
        # its file while the note is unsaved.
        self.assertEqual([o[:4] for o in others if o != ".recovery"], leftover)
        if leftover:
            # What did not replace the note is a complete copy of it.
            with open(temp, "rb") as f:
                self.assertEqual(parse_note(f.read())["text"], b"new old\n")
        # Save is still sensitive: the menu saves again, now for good.
        choose_note_menu_entry(self.x, wid, "File", FILE_ENTRIES.index("Save"))
        wait_for(lambda: note_dir_state(note_dir)[0]["note1"] != old and not note_dir_state(note_dir)[1],
                 what="the second save")
        notes, others = note_dir_state(note_dir)
        self.assertEqual(others, [])
        self.assertEqual(parse_note(notes["note1"])["text"], b"new old\n")
        self.assertEqual(app.stderr(), stderr_line.format(t=temp, p=path), "one failure, told once")
        self.assertEqual(len(self.x.find_windows("Stikkel Error")), 1)
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(), 0)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), notes["note1"], "nothing left to write at exit")
        self.x.wait_unmapped("Faulty")

    def test_failed_flush_of_the_note_directory(self):
        # The new note file is in place, but the flush of its directory
        # fails: the save is told as failed, once, and stays to be done.
        home = os.path.join(self.x.tmp, "home-directory")
        note_dir = os.path.join(home, ".tackonnotes")
        os.makedirs(note_dir)
        path = os.path.join(note_dir, "note1")
        with open(path, "wb") as f:
            f.write(note_file("Faulty", "old\n", x=100, y=120))
        app = self.start("-sv", "-interval", "60", home=home,
                         env={"LD_PRELOAD": self.shim, "STIKKEL_FAULT": "fsync",
                              "STIKKEL_FAULT_FILE": ".tackonnotes"})
        try:
            wid = self.x.wait_mapped("Faulty")
            type_into_note(self.x, wid, "new ")
            choose_note_menu_entry(self.x, wid, "File", FILE_ENTRIES.index("Save"))
            self.x.wait_mapped("Stikkel Error")
            line = "stikkel: %s: Input/output error\n" % note_dir
            self.assertEqual(app.stderr(), line)
            notes, others = note_dir_state(note_dir)
            self.assertEqual(parse_note(notes["note1"])["text"], b"new old\n", "the new file is in place")
            self.assertEqual([o for o in others if o != ".recovery"], [], "no temporary is left")
            # The next save goes through; nothing more is told.
            choose_note_menu_entry(self.x, wid, "File", FILE_ENTRIES.index("Save"))
            wait_for(lambda: not os.path.exists(os.path.join(note_dir, ".recovery")), what="the second save")
            self.assertEqual(app.stderr(), line)
            self.assertEqual(len(self.x.find_windows("Stikkel Error")), 1)
            app.signal(signal.SIGTERM)
            self.assertEqual(app.wait_exit(), 0)
            self.assertEqual(parse_note(note_dir_state(note_dir)[0]["note1"])["text"], b"new old\n")
        finally:
            app.stop()
            self.x.wait_unmapped("Faulty")


if __name__ == "__main__":
    unittest.main()

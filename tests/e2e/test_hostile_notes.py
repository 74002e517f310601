"""Hostile note directories: links that loop or lead to devices, a FIFO, a
100 MB note and 100 MB of junk, a directory, broken headers, control bytes
in names, two files with the same number. Start-up finishes, the good notes
load, nothing crashes, and loading changes no file."""

import os
import signal
import stat
import time
import unittest

from e2e import E2ETest, make_note_dir, note_file, wait_for
from faults import FILE_ENTRIES, choose_note_menu_entry, parse_note, type_into_note

BIG = 100 * 1024 * 1024


def read(path):
    with open(path, "rb") as f:
        return f.read()


def header(nums):
    return ("%%!!<tackonnote> " + " ".join(str(n) for n in nums) + " \n").encode()


# File name -> bytes of the regular files, and the window title of each one
# that must load (None: it must not load).
def hostile_files():
    plain = [1560, 120, 169, 227]
    alarm = [0, 5, 14, 9, 30]
    files = {
        # Good notes.
        b"note5": (note_file("Five", "five\n", x=60, y=120), "Five"),
        b"note05": (note_file("Zero five", "oh five\n", x=360, y=120), "Zero five"),
        b"note7": (header([300, 500, 169, 227, 4, 0, 0, 0, 0] + alarm) + b"Zero screen\nzero", "Zero screen"),
        b"note8": (header([660, 120, 169, 227, 1 << 40, 0, 0, 1080, 1920] + alarm) + b"Huge length\nshort", "Huge length"),
        b"note9": (header([960, 120, 169, 227, 3, 256, 257, 1080, 1920, 258] + alarm[1:]) + b"Flags\nabc", "Flags"),
        b"note\x01\x1b[31m\xff": (note_file("Control\x01\x1b]0;title\x07\r", "ctl", x=1260, y=120), "CONTROL"),
        b"note\n10": (note_file("Newline file", "nl", x=660, y=500), "Newline file"),
        b"note11": (header([960, 500, 169, 227] + [2, 0, 0, 1080, 1920] + alarm) + b"n" * 5000 + b"\nxy", "LONG"),
        # Not notes.
        b"note12": (header(plain + [-5, 0, 0, 1080, 1920] + alarm) + b"Negative\nabcde", None),
        b"note13": (header(plain + [2, 0, 0, 1080]) + b"Short header\nab", None),
        b"note14": (b"", None),
        b"note15": (b" \n\t \n", None),
        b"note16": (b"\0" * 4096, None),
        b"note17": (b"%%!!<tackonnote> 1 2 3 4 5 0 0\n768 1024 0 1 2 3 4 \nTwo lines\nabcde", None),
        b"note18": (b"%%!!<tackonnote> 99999999999999999999 -99999999999999999999 x\nOverflow\n", None),
        # Sizes no window can have are replaced; an alarm month of INT_MAX
        # is brought into range.
        b"note19": (header([1260, 500, -1, 227, 2, 0, 0, 1080, 1920, 1, 2147483647, 14, 9, 30]) + b"Minus one\nab",
                    "Minus one"),
        b"note20": (header([1560, 500, -30000, -30000, 2, 0, 0, 1080, 1920] + alarm) + b"Minus lots\nab",
                    "Minus lots"),
    }
    return files


class HostileNotesTest(E2ETest):

    def setUp(self):
        super().setUp()
        self.home = os.path.join(self.x.tmp, "home")
        self.files = hostile_files()
        self.note_dir = make_note_dir(self.home, [(name, data) for name, (data, _) in self.files.items()])
        d = os.fsencode(self.note_dir)
        # 100 MB: one note holding it all, and junk with no line break at all.
        with open(os.path.join(d, b"note3"), "wb") as f:
            f.write(header([60, 500, 169, 227, BIG, 0, 0, 1080, 1920, 0, 5, 14, 9, 30]) + b"Big\n")
            chunk = (b"0123456789abcde\n" * 4096)
            for _ in range(BIG // len(chunk)):
                f.write(chunk)
        with open(os.path.join(d, b"note4"), "wb") as f:
            chunk = b"%%!!<tackonnote>" * 4096
            for _ in range(BIG // len(chunk)):
                f.write(chunk)
        self.files[b"note3"] = (None, "Big")
        self.files[b"note4"] = (None, None)
        # Neither files nor notes.
        os.mkfifo(os.path.join(d, b"note1"))
        os.mkdir(os.path.join(d, b"note2"))
        os.symlink(b"note_loop", os.path.join(d, b"note_loop"))
        os.symlink(b"note_b", os.path.join(d, b"note_a"))
        os.symlink(b"note_a", os.path.join(d, b"note_b"))
        os.symlink(b"/dev/zero", os.path.join(d, b"note_zero"))
        os.symlink(b"/dev/urandom", os.path.join(d, b"note_random"))
        os.symlink(b"note1", os.path.join(d, b"note_to_fifo"))
        os.symlink(b"/nonexistent", os.path.join(d, b"note_dangling"))
        os.symlink(b".", os.path.join(d, b"note_dot"))
        os.symlink(b"/proc/self/pagemap", os.path.join(d, b"note_pagemap"))
        # A 40 GB sparse file whose name begins with "note".
        with open(os.path.join(d, b"notes-backup.img"), "wb") as f:
            f.truncate(40 << 30)
        self.before = self.snapshot()

    def snapshot(self):
        """Every entry of the note directory: its kind, and its bytes when it
        is a regular file (the two 100 MB ones by size and time)."""
        d = os.fsencode(self.note_dir)
        out = {}
        for name in os.listdir(d):
            if name == b".lock":  # the running program's lock
                continue
            st = os.lstat(os.path.join(d, name))
            if stat.S_ISREG(st.st_mode) and st.st_size < 1 << 20:
                with open(os.path.join(d, name), "rb") as f:
                    out[name] = ("file", f.read())
            else:
                out[name] = (stat.S_IFMT(st.st_mode), st.st_size, st.st_mtime_ns)
        return out

    def note_windows(self):
        out = self.x.run(["xdotool", "search", "--onlyvisible", "--classname", "TackOnNote"], check=False)
        return [int(w) for w in out.split()]

    def test_start_up_finishes_and_good_notes_load(self):
        start = time.monotonic()
        app = self.start("-sv", "-interval", "60", home=self.home)
        plain = [t for _, t in self.files.values() if t and t.isupper() is False and t not in ("Big",)]
        wids = {t: self.x.wait_mapped(t, timeout=60) for t in plain + ["Big"]}
        loaded = len([1 for _, t in self.files.values() if t])
        wait_for(lambda: len(self.note_windows()) == loaded, timeout=20,
                 what="%d note windows" % loaded)
        self.assertIsNone(app.proc.poll(), "the program is running")
        elapsed = time.monotonic() - start
        self.assertLess(elapsed, 60, "start-up took %.1f s" % elapsed)
        # A stored screen size of 0 means no rescaling.
        x, y, _, _ = self.x.geometry(wids["Zero screen"])
        self.assertEqual((x - 2, y - 27), (300, 500))
        self.assertEqual(self.snapshot(), self.before, "loading changed the note directory")

        # note5 and note05 are two notes; each one's File menu saves its own file.
        for title, own, other in (("Zero five", b"note05", b"note5"), ("Five", b"note5", b"note05")):
            type_into_note(self.x, wids[title], "+")
            choose_note_menu_entry(self.x, wids[title], "File", FILE_ENTRIES.index("Save"))
            path = os.path.join(os.fsencode(self.note_dir), own)
            wait_for(lambda: read(path) != self.before[own][1], what="%r saved" % own)
            # The recovery file goes once the note file is in place.
            wait_for(lambda: not os.path.exists(os.path.join(self.note_dir, ".recovery")),
                     what="the recovery file to go")
            note = parse_note(read(path))
            self.assertEqual(note["text"], b"+" + parse_note(self.before[own][1])["text"])
            now = self.snapshot()
            self.assertEqual(now[other], self.before[other], "saving %r changed %r" % (own, other))
            self.before[own] = now[own]
        self.assertEqual(self.snapshot(), self.before)

        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(timeout=60), 0, app.stderr())
        self.assertEqual(self.snapshot(), self.before, "nothing else was written at exit")
        # Every candidate that is not a note is named once on standard
        # error, with no control character of its name; nothing else is said.
        loaded = {name for name, (_, title) in self.files.items() if title}
        skipped = sorted(name for name in os.listdir(os.fsencode(self.note_dir))
                         if name not in loaded and not name.startswith(b"."))
        lines = app.stderr().splitlines()
        prefix = "stikkel: " + self.note_dir + "/"
        for line in lines:
            self.assertTrue(line.startswith(prefix) and line.endswith("; skipped"), line)
            self.assertFalse(any(ord(c) < 32 for c in line), line)
        shown = sorted(line[len(prefix):line.index(": not a note (")] for line in lines)
        expected = sorted(bytes(b if b >= 32 and b != 127 else ord("?") for b in name).decode(errors="replace")
                          for name in skipped)
        self.assertEqual(shown, expected)


class StaleTemporaryFileTest(E2ETest):
    """Whatever stands under the save's temporary name (left by a crash, or
    planted) is never written through: a link to another note leaves that
    note alone."""

    def test_link_under_the_temporary_name(self):
        home = os.path.join(self.x.tmp, "home")
        other = note_file("Other", "other text\n", x=500, y=120)
        note_dir = make_note_dir(home, {"note1": note_file("Mine", "mine\n", x=100, y=120), "note2": other})
        app = self.start("-sv", "-interval", "60", home=home)
        wid = self.x.wait_mapped("Mine")
        temp = os.path.join(note_dir, "sk1.%d" % app.proc.pid)
        os.symlink("note2", temp)
        type_into_note(self.x, wid, "new ")
        choose_note_menu_entry(self.x, wid, "File", FILE_ENTRIES.index("Save"))
        path = os.path.join(note_dir, "note1")
        wait_for(lambda: os.path.islink(path) or parse_note(read(path))["text"] != b"mine\n", what="the save")
        self.assertEqual(read(os.path.join(note_dir, "note2")), other, "the other note was written through a link")
        self.assertFalse(os.path.islink(path))
        self.assertEqual(parse_note(read(path))["text"], b"new mine\n")
        # The planted link stays as it was; no temporary is left, and the
        # recovery file goes once the note is saved.
        self.assertEqual(os.readlink(temp), "note2")
        wait_for(lambda: not os.path.exists(os.path.join(note_dir, ".recovery")), what="the recovery file to go")
        self.assertEqual(sorted(n for n in os.listdir(note_dir) if n != ".lock"),
                         ["note1", "note2", os.path.basename(temp)])


if __name__ == "__main__":
    unittest.main()

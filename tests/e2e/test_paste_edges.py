"""Pastes at the edge of a note's first buffer, under valgrind.

The text widget's own writes cannot be seen by AddressSanitizer (libXaw is
not instrumented), so the real program runs under valgrind's memcheck: for
several buffer sizes, three notes each receive a middle-button paste that
ends one byte below, exactly at and one byte above the room of a buffer of
-bs bytes (the text plus its terminating NUL), and a fourth note holds an
unsaved edit. Every paste goes in whole (the notes grow), nothing is written
outside the program's memory, and the exit saves every note.

The text sources keep their text in pieces of 8,192 characters: notes of
one character less, exactly, one more and two whole pieces are typed into at
their start, inside and at their end, in both locales, and no byte is read
or written outside the program's memory."""

import os
import signal
import shutil
import subprocess
import time
import unittest

from e2e import E2ETest, SOURCE_DIR, make_note_dir, note_file, wait_for

SUPPRESSIONS = os.path.join(SOURCE_DIR, "tests", "support", "valgrind.supp")


def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def settle(proc, quiet=0.6, timeout=60):
    """Waits until the process has used no CPU time for `quiet` seconds."""
    last, since = cpu_ticks(proc.pid), time.monotonic()
    deadline = since + timeout
    while time.monotonic() < deadline:
        time.sleep(0.05)
        now = cpu_ticks(proc.pid)
        if now != last:
            last, since = now, time.monotonic()
        elif time.monotonic() - since >= quiet:
            return
    raise AssertionError("the program did not settle")


def side_by_side(texts):
    """The note files note1, note2, ... of notes named and filled as texts
    (name -> bytes), in a row of 300x200 notes."""
    return [("note%d" % i, note_file(name, text, x=20 + 330 * (i - 1), y=60, width=300, height=200))
            for i, (name, text) in enumerate(texts.items(), 1)]


def saved_notes(note_dir):
    """name -> (stated length, text) of every note file in note_dir."""
    out = {}
    for file in os.listdir(note_dir):
        with open(os.path.join(note_dir, file), "rb") as f:
            header = f.readline()
            name = f.readline().rstrip(b"\n").decode()
            out[name] = (int(header.split()[5]), f.read())
    return out


class Selection:
    """xclip holding the PRIMARY selection."""

    def __init__(self, session, data):
        self.proc = subprocess.Popen(["xclip", "-quiet", "-selection", "primary", "-i"], env=session.env,
                                     stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.proc.stdin.write(data)
        self.proc.stdin.close()
        # xclip owns the selection once it has read its input.
        wait_for(lambda: subprocess.run(["xclip", "-o", "-selection", "primary"], env=session.env,
                                        capture_output=True, timeout=10).stdout == data,
                 what="xclip to own PRIMARY")

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def paste_edit_and_exit(test, app, windows, paste, log, what, timeout=180):
    """Middle-clicks `paste` (held by xclip) into the notes Below, At and
    Above, types into the note Other, ends the program with SIGTERM and
    checks that it exited cleanly with no invalid write in valgrind's log."""
    sel = Selection(test.x, paste)
    files = {name: "note%d" % i for i, name in enumerate(windows, 1)}
    try:
        for name in ("Below", "At", "Above"):
            # Clear of the scroll bar a long note shows at its left.
            test.x.click_window(windows[name], 150, 120, button=2)
            # A paste that goes in changes the note, which its recovery file
            # then holds: the selection's owner is waited for however slow.
            if name != "Above":
                journal = os.path.join(app.note_dir, ".recovery", files[name])
                wait_for(lambda: os.path.exists(journal), timeout=timeout, what="the paste into " + name)
            settle(app.proc, timeout=timeout)
    finally:
        sel.close()
    test.x.click_window(windows["Other"], 150, 120)
    test.x.xdotool("type", "--delay", "30", "edit")
    settle(app.proc)
    app.signal(signal.SIGTERM)
    status = app.wait_exit(timeout=timeout)
    with open(log) as f:
        report = f.read()
    test.assertEqual(status, 0, "%s: exit status %d\n%s\n%s" % (what, status, report[-4000:], app.stderr()[-2000:]))
    assert_clean(test, report, what)


def assert_clean(test, report, what):
    """valgrind saw no read and no write outside the program's memory."""
    test.assertNotIn("Invalid write", report, what)
    test.assertNotIn("Invalid read", report, what)


@unittest.skipUnless(shutil.which("valgrind") and shutil.which("xclip"), "needs valgrind and xclip")
class PasteEdgesUnderValgrindTest(E2ETest):

    def run_case(self, buf_size, paste_len):
        home = os.path.join(self.x.tmp, "home-%d" % buf_size)
        room = buf_size - 1  # text bytes a buffer of buf_size holds beside its NUL
        texts = {
            "Below": b"b" * (room - 1 - paste_len),
            "At": b"a" * (room - paste_len),
            "Above": b"c" * (room + 1 - paste_len),
            "Other": b"other",
        }
        note_dir = make_note_dir(home, side_by_side(texts))
        log = os.path.join(self.x.tmp, "valgrind-%d.log" % buf_size)
        wrapper = ["valgrind", "-q", "--error-exitcode=99", "--errors-for-leak-kinds=none",
                   "--suppressions=" + SUPPRESSIONS, "--log-file=" + log]
        app = self.start("-sv", "-bs", str(buf_size), home=home, wrapper=wrapper)
        windows = {name: self.x.wait_mapped(name, timeout=180) for name in texts}
        settle(app.proc)
        paste = bytes(b"0123456789ABCDEFGHIJ"[i % 20] for i in range(paste_len))
        paste_edit_and_exit(self, app, windows, paste, log, "bs %d" % buf_size)
        saved = saved_notes(note_dir)
        for name in ("Below", "At", "Above"):
            length, body = saved[name]
            self.assertEqual(length, len(texts[name]) + paste_len, "bs %d, %s: the paste went in whole" % (buf_size, name))
            self.assertEqual(sorted(body), sorted(texts[name] + paste), "bs %d, %s" % (buf_size, name))
        self.assertIn(b"edit", saved["Other"][1], "bs %d: the unsaved edit of another note survives" % buf_size)

    def test_pastes_one_below_at_and_one_above_the_room(self):
        for buf_size, paste_len in ((24, 10), (64, 20), (72, 20), (1000, 40), (1024, 40)):
            with self.subTest(bs=buf_size):
                self.run_case(buf_size, paste_len)


@unittest.skipUnless(shutil.which("valgrind") and shutil.which("xclip"), "needs valgrind and xclip")
class Utf8PastesAtTheCapUnderValgrindTest(E2ETest):
    """In a UTF-8 locale the note's text source keeps its own wide
    characters: three notes whose text leaves one byte more than, exactly,
    and one byte less than the room a paste of multi-byte characters needs
    below the 16 MiB cap each receive it. The first two take it whole, the
    third refuses it whole (its file is never rewritten), nothing is written
    outside the program's memory, and a typed edit of a fourth note is
    saved at exit."""

    LOCALE = "C.UTF-8"
    CAP = 16 * 1024 * 1024
    # Accents, a dash, Greek, Cyrillic, CJK and an emoji: 1 to 4 bytes a character.
    PASTE = "caf\u00e9 \u2013 \u03b1\u03b2 \u0416 \u65e5\u672c \U0001F642".encode()

    def test_a_multibyte_paste_at_the_cap_goes_in_whole_or_not_at_all(self):
        home = os.path.join(self.x.tmp, "home")
        texts = {
            "Below": b"b" * (self.CAP - len(self.PASTE) - 1),
            "At": b"a" * (self.CAP - len(self.PASTE)),
            "Above": b"c" * (self.CAP - len(self.PASTE) + 1),
            "Other": "\u00e9t\u00e9 ".encode(),
        }
        note_dir = make_note_dir(home, side_by_side(texts))
        above = os.path.join(note_dir, "note3")
        above_before = os.stat(above)
        log = os.path.join(self.x.tmp, "valgrind.log")
        wrapper = ["valgrind", "-q", "--error-exitcode=99", "--errors-for-leak-kinds=none",
                   "--suppressions=" + SUPPRESSIONS, "--log-file=" + log]
        app = self.start("-sv", home=home, wrapper=wrapper)
        windows = {name: self.x.wait_mapped(name, timeout=600) for name in texts}
        settle(app.proc, timeout=600)
        paste_edit_and_exit(self, app, windows, self.PASTE, log, "UTF-8", timeout=600)
        self.assertNotIn("Non-character", app.stderr())
        saved = saved_notes(note_dir)
        for name in ("Below", "At"):
            length, body = saved[name]
            self.assertEqual(length, len(texts[name]) + len(self.PASTE), name)
            self.assertEqual(len(body), length, name)
            self.assertIn(self.PASTE, body, "%s: the paste went in whole" % name)
            self.assertEqual(body.replace(self.PASTE, b"", 1), texts[name], name)
        after = os.stat(above)
        self.assertEqual((after.st_ino, after.st_mtime_ns), (above_before.st_ino, above_before.st_mtime_ns),
                         "the refused paste left the note unchanged and its file unwritten")
        self.assertIn(b"edit", saved["Other"][1])
        self.assertIn("\u00e9t\u00e9".encode(), saved["Other"][1])


@unittest.skipUnless(shutil.which("valgrind"), "needs valgrind")
class PieceEdgesUnderValgrindTest(E2ETest):
    """Notes of 8,191, 8,192, 8,193 and 16,384 characters (two-byte ones in
    a UTF-8 locale, so that bytes and characters differ) each get a
    character typed at their start, in their middle and at their end, and
    one deleted; the exit saves each whole."""

    LOCALE = "C"
    SIZES = (8191, 8192, 8193, 16384)

    def test_typing_at_the_edges_of_whole_pieces(self):
        home = os.path.join(self.x.tmp, "home")
        fill = "\u00e9" if self.LOCALE != "C" else "a"
        texts = {"N%d" % n: (fill * n).encode() for n in self.SIZES}
        note_dir = make_note_dir(home, side_by_side(texts))
        log = os.path.join(self.x.tmp, "valgrind.log")
        wrapper = ["valgrind", "-q", "--error-exitcode=99", "--errors-for-leak-kinds=none",
                   "--suppressions=" + SUPPRESSIONS, "--log-file=" + log]
        app = self.start("-sv", home=home, wrapper=wrapper)
        windows = {name: self.x.wait_mapped(name, timeout=300) for name in texts}
        settle(app.proc, timeout=300)
        for name, wid in windows.items():
            self.x.click_window(wid, 150, 120)
            # Where the click put the caret, then (Ctrl+Home, Ctrl+End) the
            # start and the end of the one line.
            for keys in ([], ["ctrl+Home"], ["ctrl+End"]):
                if keys:
                    self.x.xdotool("key", *keys)
                self.x.xdotool("type", "x")
                settle(app.proc)
            self.x.xdotool("key", "BackSpace")
            self.x.xdotool("type", "y")
            settle(app.proc)
        app.signal(signal.SIGTERM)
        status = app.wait_exit(timeout=300)
        with open(log) as f:
            report = f.read()
        self.assertEqual(status, 0, "exit status %d\n%s\n%s" % (status, report[-4000:], app.stderr()[-2000:]))
        assert_clean(self, report, self.LOCALE)
        saved = saved_notes(note_dir)
        for name, text in texts.items():
            length, body = saved[name]
            self.assertEqual(len(body), length, name)
            self.assertEqual(length, len(text) + 3, name)
            self.assertTrue(body.startswith(b"x") and body.endswith(b"y"), name)
            self.assertEqual(body.count(b"x"), 2, name)
            self.assertEqual(body.replace(b"x", b"").replace(b"y", b""), text, name)


class Utf8PieceEdgesUnderValgrindTest(PieceEdgesUnderValgrindTest):
    LOCALE = "C.UTF-8"


if __name__ == "__main__":
    unittest.main()

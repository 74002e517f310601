"""Commands over many notes leave the program answering: a second Cascade
Notes (every note already at its place) under twm with and without title
bars and with no window manager, the note list that reaches its last note
among 5,000, and Save All, which costs a few X round trips in all and one
flush of the note directory. A probe client (xprobe.py) times the
program's answers; strace counts round trips and fsyncs."""

import os
import re
import subprocess
import tempfile
import time
import unittest

from e2e import (E2ETest, ROUND_TRIP_CALLS, SOURCE_DIR, choose_from_main_menu, make_note_dir, note_file, wait_for,
                 x_round_trips)
from xprobe import Probe

ANSWER = 1.0  # seconds the program may leave a request unanswered


class CascadeTwiceTest(E2ETest):
    """Under twm with its title bars."""

    def start_notes(self, notes):
        """Starts the program with note files of (name, x, y, anchored);
        returns their windows in the program's list order (the order the
        directory gives their files) and a probe on the control window."""
        home = tempfile.mkdtemp(prefix="stikkel-home-", dir=self.x.tmp)
        note_dir = make_note_dir(home, [("note%d" % i, note_file(name, "text of " + name, x=x, y=y, anchored=anchored))
                                        for i, (name, x, y, anchored) in enumerate(notes, 1)])
        order = [int(f[len("note"):]) - 1 for f in os.listdir(note_dir)]
        app = self.start(home=home)
        app.wait_ready()
        self.control = self.x.mapped_window("stikkel")
        windows = [self.x.wait_mapped(notes[i][0]) for i in order]
        probe = Probe(self.x.env, self.control)
        self.addCleanup(probe.stop)
        probe.wait_answer()
        return windows, probe

    def places(self, windows):
        return [self.x.geometry(self.x.outer_window(w))[:2] for w in windows]

    def cascade(self, probe, windows):
        """Chooses Cascade Notes; returns the longest the program left the
        probe waiting from then until the windows stand still, and where they
        stand."""
        t0 = choose_from_main_menu(self.x, self.control, "Cascade Notes", wait_gone=False,
                                   before_release=time.monotonic)
        last = [None]

        def still():
            now = self.places(windows)
            settled, last[0] = now == last[0], now
            return settled and probe.answered_since(time.monotonic() - 0.2)
        wait_for(still, timeout=120, interval=0.3, what="the windows to stand still")
        return max_unanswered(probe, t0), last[0]

    def test_a_second_cascade_moves_nothing_and_answers_at_once(self):
        notes = [("anchor", 100, 100, 1)] + [("note %d" % i, 300 + 40 * i, 500 - 20 * i, 0) for i in range(1, 12)]
        windows, probe = self.start_notes(notes)
        anchor = windows.index(self.x.wait_mapped("anchor"))
        before = self.places(windows)
        waited, first = self.cascade(probe, windows)
        self.assertLess(waited, ANSWER, "the first cascade left the program unanswering")
        self.assertEqual(first[anchor], before[anchor], "the anchor stays")
        dealt = first[:anchor] + first[anchor + 1:]
        steps = [(b[0] - a[0], b[1] - a[1]) for a, b in zip(dealt, dealt[1:])]
        self.assertEqual(steps, [(15, 15)] * 10, "each note 15 pixels right of and below the one before")
        waited, second = self.cascade(probe, windows)
        self.assertLess(waited, ANSWER, "the second cascade left the program unanswering")
        self.assertEqual(second, first, "nothing moves: every note stands at its place")


class CascadeTwiceWithoutTitlesTest(CascadeTwiceTest):
    TWMRC = os.path.join(SOURCE_DIR, "tests", "support", "twmrc-notitle")


class CascadeTwiceWithoutWindowManagerTest(CascadeTwiceTest):
    WM = False


def max_unanswered(probe, t0):
    """The longest a probe request waited from t0 until now."""
    samples = list(probe.samples)
    now = time.monotonic()
    longest = 0.0
    for sent, answered in samples:
        done = answered if answered is not None else now
        if done >= t0:
            longest = max(longest, done - max(sent, t0))
    return longest


class LongNoteListTest(E2ETest):

    def test_the_5000th_note_can_be_chosen(self):
        # 5,000 hidden notes start quickly; Hidden Notes lists them all. The
        # user drags the list's scroll bar to the bottom and presses the last
        # button: the last note of the list shows, and no other.
        home = tempfile.mkdtemp(prefix="stikkel-home-", dir=self.x.tmp)
        note_dir = make_note_dir(home, (("note%d" % i, note_file("hidden %d" % i, "", x=10 + i % 900, y=40 + i % 500,
                                                                 hidden=1)) for i in range(1, 5001)))
        # The program lists notes by name, numbers in numeric order.
        last = "hidden 5000"
        app = self.start(home=home)
        control = wait_for(lambda: self.x.run(["xdotool", "search", "--maxdepth", "2", "--onlyvisible",
                                                "--name", "^stikkel$"], check=False).split(),
                           timeout=120, interval=0.5, what="the control window")[0]
        probe = Probe(self.x.env, int(control))
        self.addCleanup(probe.stop)
        probe.wait_answer(timeout=300)  # every note is loaded
        choose_from_main_menu(self.x, int(control), "Hidden Notes")
        window = self.x.wait_mapped("Hidden Notes", timeout=60)
        bar = self.x.list_scroll_bar(window)
        self.x.drag_to_end(bar)
        button = wait_for(lambda: self.x.lowest_button(window, bar), what="the buttons at the end of the list")
        self.x.click(button["x"] + button["w"] // 2, button["y"] + button["h"] // 2)
        self.x.wait_unmapped("Hidden Notes", timeout=30)
        self.x.wait_mapped(last, timeout=30)
        shown = self.x.run(["xdotool", "search", "--maxdepth", "2", "--onlyvisible", "--name", "^hidden "],
                           check=False).split()
        self.assertEqual(len(shown), 1, "only the chosen note shows")


class SaveAllTest(E2ETest):

    NOTES = 40

    def traced(self, app, probe, label, done=lambda: True):
        """Chooses `label` from the main menu with strace attached to the
        program; returns (X round trips, fsync calls) until the program
        answers the probe again and `done` holds (the files are written by
        a thread of their own, the directory flushed right after)."""
        log = os.path.join(self.x.tmp, "trace-%d" % time.monotonic_ns())
        tracer = [None]

        def attach():
            calls = ",".join(ROUND_TRIP_CALLS + ("fsync", "fdatasync"))
            tracer[0] = subprocess.Popen(["strace", "-f", "-qq", "-e", "trace=" + calls, "-o", log,
                                          "-p", str(app.proc.pid)], stdout=subprocess.DEVNULL,
                                         stderr=subprocess.DEVNULL)
            wait_for(lambda: "TracerPid:\t0" not in open("/proc/%d/status" % app.proc.pid).read(),
                     what="strace to attach")
            return time.monotonic()
        try:
            t0 = choose_from_main_menu(self.x, self.control, label, wait_gone=False, before_release=attach)
            wait_for(lambda: probe.answered_since(t0 + 0.5), timeout=60, what="the program to answer")
            wait_for(done, timeout=60, what="the save to end")
            time.sleep(0.5)
        finally:
            if tracer[0]:
                tracer[0].terminate()
                tracer[0].wait(10)
        with open(log) as f:
            lines = f.read().splitlines()
        round_trips = x_round_trips(lines)
        fsyncs = sum(1 for line in lines if re.search(r"\bf(data)?sync\(", line))
        return round_trips, fsyncs

    @unittest.skipUnless(subprocess.run(["which", "strace"], capture_output=True).returncode == 0, "no strace")
    def test_save_all_asks_once_for_all_windows_and_flushes_the_directory_once(self):
        home = tempfile.mkdtemp(prefix="stikkel-home-", dir=self.x.tmp)
        names = ["note %d" % i for i in range(1, self.NOTES + 1)]
        note_dir = make_note_dir(home, [("note%d" % (i + 1),
                                         note_file(name, "text of " + name, x=20 + 40 * (i % 20), y=40 + 300 * (i // 20)))
                                        for i, name in enumerate(names)])
        app = self.start("-na", home=home)
        app.wait_ready()
        self.control = self.x.mapped_window("stikkel")
        windows = [self.x.wait_mapped(name) for name in names]
        probe = Probe(self.x.env, self.control)
        self.addCleanup(probe.stop)
        probe.wait_answer()
        files = {n: os.stat(os.path.join(note_dir, n)).st_mtime_ns for n in os.listdir(note_dir)}

        # The first pass after start-up: every window is new to it, nothing changed.
        round_trips, fsyncs = self.traced(app, probe, "Save All Notes")
        self.assertLess(round_trips, self.NOTES // 2, "a few round trips for all %d windows, not some per window" % self.NOTES)
        self.assertEqual(fsyncs, 0)

        # Every note moved through the window manager, as a drag ends.
        frames = [self.x.outer_window(w) for w in windows]
        before = [self.x.geometry(f)[:2] for f in frames]
        for w, (x, y) in zip(windows, before):
            self.x.xdotool("windowmove", w, x + 13, y + 9)
        wait_for(lambda: all(self.x.geometry(f)[:2] != p for f, p in zip(frames, before)), timeout=30,
                 what="twm to move the notes")
        time.sleep(0.5)
        def written():
            return [n for n in os.listdir(note_dir)
                    if n.startswith("note") and os.stat(os.path.join(note_dir, n)).st_mtime_ns != files.get(n)]
        round_trips, fsyncs = self.traced(app, probe, "Save All Notes", lambda: len(written()) == self.NOTES)
        self.assertLess(round_trips, self.NOTES // 2, "a few round trips for all %d windows, not some per window" % self.NOTES)
        self.assertEqual(fsyncs, self.NOTES + 1, "each note file, and the directory once")
        self.assertEqual(len(written()), self.NOTES)


if __name__ == "__main__":
    unittest.main()

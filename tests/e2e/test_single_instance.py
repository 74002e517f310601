"""One running stikkel per note directory: a second one on the same display
asks the first to raise its notes and ends with status 0; one that cannot
reach it names the holder and ends with 255, touching no file; two started
at one moment leave one running; a holder killed with SIGKILL leaves the
notes to the next start."""

import os
import signal
import socket
import unittest

from e2e import E2ETest, XSession, home_with_notes, wait_for


def snapshot(path):
    """Every entry of a directory with its bytes and modification time."""
    out = {}
    for name in sorted(os.listdir(path)):
        full = os.path.join(path, name)
        st = os.lstat(full)
        with open(full, "rb") as f:
            out[name] = (f.read(), st.st_mtime_ns, st.st_ino)
    return out


class SingleInstanceTest(E2ETest):

    def make_home(self, notes):
        return home_with_notes(self.x.tmp, notes)

    def control_windows(self):
        out = self.x.run(["xdotool", "search", "--onlyvisible", "--name", "^stikkel$"], check=False)
        return out.split()

    def test_second_on_this_display_raises_the_notes_and_ends(self):
        home, note_dir = self.make_home([("First", 100, 120), ("Second", 150, 170)])
        first = self.start("-interval", "60", home=home)
        first.wait_ready()
        one, two = self.x.wait_mapped("First"), self.x.wait_mapped("Second")
        # Lower All Notes (button 2 on the control window) leaves the last
        # note lowest; raising all notes puts it on top again (list order).
        x, y, w, h = self.x.geometry(self.x.mapped_window("stikkel"))
        self.x.click(x + w // 2, y + h // 2, 2)
        wait_for(lambda: self.x.stacking([one, two]) == [two, one], what="Second below First")
        before = snapshot(note_dir)

        second = self.start("-interval", "60", home=home)
        self.assertEqual(second.wait_exit(timeout=30), 0, second.stderr())
        self.assertEqual(second.stderr(), "")
        wait_for(lambda: self.x.stacking([one, two]) == [one, two], what="the notes raised")
        self.assertIsNone(first.proc.poll(), "the first one runs on")
        self.assertEqual(len(self.control_windows()), 1)
        self.assertEqual(snapshot(note_dir), before)

    def test_holder_out_of_reach_is_named_and_nothing_is_touched(self):
        home, note_dir = self.make_home([("Held", 100, 120)])
        first = self.start("-interval", "60", home=home)
        first.wait_ready()
        self.x.wait_mapped("Held")
        before = snapshot(note_dir)
        # The same notes from another display: the holder cannot be asked.
        other = XSession(wm=False)
        try:
            second = self.start("-interval", "60", "-sv", home=home, session=other)
            self.assertEqual(second.wait_exit(timeout=30), 255, second.stderr())
            self.assertEqual(second.stderr(), "stikkel: the notes in %s are in use by process %d on host %s\n"
                             % (note_dir, first.proc.pid, socket.gethostname()))
            self.assertIsNone(other.mapped_window("stikkel"), "no window on the other display")
        finally:
            other.close()
        self.assertEqual(snapshot(note_dir), before)

        # A holder that does not answer (stopped) is out of reach too.
        first.signal(signal.SIGSTOP)
        try:
            third = self.start("-interval", "60", home=home)
            self.assertEqual(third.wait_exit(timeout=30), 255, third.stderr())
            self.assertIn("are in use by process %d" % first.proc.pid, third.stderr())
        finally:
            first.signal(signal.SIGCONT)
        self.assertEqual(snapshot(note_dir), before)

    def test_two_started_at_one_moment_leave_one(self):
        home, note_dir = self.make_home([("Both", 100, 120)])
        before = snapshot(note_dir)
        for _ in range(3):
            apps = [self.start("-interval", "60", home=home) for _ in range(2)]
            wait_for(lambda: any(a.proc.poll() is not None for a in apps), timeout=40, what="one to end")
            ended = [a for a in apps if a.proc.poll() is not None]
            running = [a for a in apps if a.proc.poll() is None]
            self.assertEqual(len(ended), 1)
            self.assertEqual(ended[0].proc.returncode, 0, ended[0].stderr())
            running[0].wait_ready()
            self.x.wait_mapped("Both")
            self.assertEqual(len(self.control_windows()), 1)
            running[0].signal(signal.SIGTERM)  # nothing changed: ends at once
            wait_for(lambda: running[0].proc.poll() is not None or self.x.mapped_window("Save Notes Prompt"),
                     what="the exit")
            running[0].stop()
            self.x.wait_unmapped("stikkel")
        notes = lambda snap: {k: v[0] for k, v in snap.items() if k != ".lock"}
        self.assertEqual(notes(snapshot(note_dir)), notes(before))

    def test_killed_holder_leaves_the_notes_to_the_next(self):
        home, note_dir = self.make_home([("Orphan", 100, 120)])
        first = self.start("-interval", "60", home=home)
        first.wait_ready()
        self.x.wait_mapped("Orphan")
        first.proc.kill()
        first.proc.wait()
        self.x.wait_unmapped("stikkel")
        second = self.start("-interval", "60", home=home)
        second.wait_ready()
        self.x.wait_mapped("Orphan")
        self.assertIsNone(second.proc.poll())
        # The lock file names the new holder.
        with open(os.path.join(note_dir, ".lock")) as f:
            self.assertEqual(f.read(), "%s %d\n" % (socket.gethostname(), second.proc.pid))


if __name__ == "__main__":
    unittest.main()

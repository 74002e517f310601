"""Signals end the program through the exit request, unless the interrupts
were ignored when it started."""

import os
import signal
import subprocess
import tempfile
import unittest

from e2e import BIN, E2ETest, note_file, wait_for


class SignalsTest(E2ETest):
    WM = False

    def test_interrupts_end_it_when_not_ignored(self):
        for sig in (signal.SIGINT, signal.SIGQUIT, signal.SIGTERM, signal.SIGHUP):
            app = self.start("-sv")
            app.wait_ready()
            app.signal(sig)
            self.assertEqual(app.wait_exit(), 0, (sig, app.stderr()))

    def test_ignored_interrupts_stay_ignored(self):
        def ignore():
            signal.signal(signal.SIGINT, signal.SIG_IGN)
            signal.signal(signal.SIGQUIT, signal.SIG_IGN)
        # Started as a shell starts a background job: both interrupts ignored.
        home = tempfile.mkdtemp(dir=self.x.tmp)
        proc = subprocess.Popen([BIN, "-sv"], env=dict(self.x.env, HOME=home), preexec_fn=ignore,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            wait_for(lambda: self.x.mapped_window("stikkel"), timeout=20, what="start")
            proc.send_signal(signal.SIGINT)
            proc.send_signal(signal.SIGQUIT)
            with self.assertRaises(subprocess.TimeoutExpired):
                proc.wait(1.0)
            with open("/proc/%d/status" % proc.pid) as f:
                ignored = int([l for l in f if l.startswith("SigIgn:")][0].split()[1], 16)
            self.assertTrue(ignored & (1 << (signal.SIGINT - 1)))
            self.assertTrue(ignored & (1 << (signal.SIGQUIT - 1)))
            proc.send_signal(signal.SIGTERM)
            self.assertEqual(proc.wait(10), 0)
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()

    def test_signal_storm_saves_once(self):
        app = self.start("-sv")
        os.makedirs(app.note_dir, exist_ok=True)
        app.stop()
        with open(os.path.join(app.note_dir, "note1"), "wb") as f:
            f.write(note_file("Storm", "calm"))
        app = self.start("-sv", home=app.home)
        self.x.wait_mapped("Storm")
        for _ in range(50):
            app.signal(signal.SIGHUP)
            app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(), 0)
        with open(os.path.join(app.note_dir, "note1"), "rb") as f:
            self.assertEqual(f.read(), note_file("Storm", "calm"))
        self.assertEqual(sorted(os.listdir(app.note_dir)), ["note1"])


if __name__ == "__main__":
    unittest.main()

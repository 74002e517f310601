"""Start-up: help and version output, the note directory, statuses."""

import os
import shutil
import signal
import subprocess
import tempfile
import unittest

from e2e import BIN, E2ETest, wait_for


class StartupTest(E2ETest):
    WM = False

    def test_help_wins_and_question_mark_is_help(self):
        with open(os.path.join(os.environ.get("STIKKEL_SOURCE_DIR", ".."), "resources", "help.txt"), "rb") as f:
            help_text = f.read()
        for args in (["-help"], ["-?"], ["-version", "-help"], ["-help", "-version"]):
            app = self.start(*args)
            self.assertEqual(app.wait_exit(), 0, args)
            with open(app.stdout_path, "rb") as f:
                self.assertEqual(f.read(), help_text, args)
            self.assertFalse(os.path.exists(app.note_dir), "help creates no note directory")

    def test_version(self):
        app = self.start("-version")
        self.assertEqual(app.wait_exit(), 0)
        lines = app.stdout().split("\n")
        self.assertRegex(lines[0], r"^stikkel\+ v\S+$")
        self.assertEqual(lines[2:], ["", ""][:len(lines) - 2])
        self.assertTrue(app.stdout().endswith("\n\n"))

    def test_note_directory_created_in_home(self):
        app = self.start(pass_dir=False)
        app.wait_ready()
        path = app.note_dir
        wait_for(lambda: os.path.isdir(path), what="note directory")
        self.assertEqual(os.stat(path).st_mode & 0o777, 0o755)
        self.assertEqual(app.stdout(), "%s: no such file or directory\nTrying to create.\n" % path)

    def test_missing_parent_ends_with_255(self):
        app = self.start("-dir", "/nonexistent-parent/notes")
        self.assertEqual(app.wait_exit(), 255)
        self.assertEqual(app.stdout(), "/nonexistent-parent/notes: no such file or directory\n"
                         "Trying to create.\nCan't create /nonexistent-parent/notes\n; Aborting")

    def test_file_in_path_ends_with_255(self):
        app0 = self.start("-help")
        app0.wait_exit()
        blocker = os.path.join(app0.home, "plain")
        open(blocker, "w").close()
        app = self.start("-dir", blocker + "/notes")
        self.assertEqual(app.wait_exit(), 255)
        self.assertEqual(app.stdout(), "A portion of the pathname to %s/notes is invalid\nAborting.\n" % blocker)

    def test_no_home_and_no_password_entry(self):
        # A user id without a password entry, HOME unset: nobody to ask.
        if os.geteuid() != 0 or not shutil_which("setpriv"):
            self.skipTest("needs root and setpriv to run as an unknown user")
        env = dict(self.x.env)
        env.pop("HOME", None)
        p = subprocess.run(["setpriv", "--reuid=54321", "--regid=54321", "--clear-groups", BIN],
                           env=env, capture_output=True, timeout=20, cwd="/")
        self.assertEqual(p.returncode, 1, p.stderr)
        self.assertEqual(p.stderr, b"stikkel: who are you?\n")

    def test_unknown_words_and_bad_interval_do_not_stop_it(self):
        app = self.start("-interval", "0", "-bs", "1", "whatever", "-zzz")
        app.wait_ready()
        self.assertIsNone(app.proc.poll())
        err = app.stderr()
        self.assertIn('stikkel: interval "0" is not a whole number from 1 to 35791; using 10 minutes\n', err)
        self.assertIn('stikkel: buffer size "1" is not a whole number from 2 to 2147483647; using 1024 bytes\n', err)

    def test_option_values_are_quoted_as_written(self):
        # Values that wrap around in a plain int conversion: each is refused,
        # quoted as the user wrote it, and the default is used.
        cases = [
            (["-bs", "4294967297"], 'buffer size "4294967297"', "using 1024 bytes"),
            (["-interval", "99999999999"], 'interval "99999999999"', "using 10 minutes"),
            (["-interval", "35792"], 'interval "35792"', "using 10 minutes"),
            (["-ao", "2147483648"], 'anchor offset "2147483648"', "using 15 pixels"),
            (["-nw", "-99999999999"], 'character width "-99999999999"', "using 10 pixels"),
        ]
        for args, quoted, fallback in cases:
            app = self.start(*args)
            app.wait_ready()
            err = app.stderr()
            self.assertIn("stikkel: %s is not a whole number from " % quoted, err, args)
            self.assertIn(fallback, err, args)
            app.stop()

    def test_a_note_directory_that_is_no_directory_is_refused(self):
        app0 = self.start("-help")
        app0.wait_exit()
        plain = os.path.join(app0.home, "plain")
        with open(plain, "w") as f:
            f.write("keep")
        for path in (plain, "/dev/null"):
            app = self.start("-dir", path)
            self.assertEqual(app.wait_exit(), 255, path)
            self.assertEqual(app.stdout(), "%s is not a directory\nAborting.\n" % path)
        with open(plain) as f:
            self.assertEqual(f.read(), "keep")


class NoDisplayTest(unittest.TestCase):
    """Help and version need no X server: run with DISPLAY unset."""

    def run_without_display(self, *args):
        home = tempfile.mkdtemp(prefix="stikkel-nodisplay-")
        self.addCleanup(shutil.rmtree, home, True)
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "XENVIRONMENT")}
        env["HOME"] = home
        p = subprocess.run([BIN] + list(args), env=env, capture_output=True, timeout=20, cwd=home)
        self.assertEqual(os.listdir(home), [], "%s leaves nothing in HOME" % (args,))
        return p

    def test_help_and_version_without_a_display(self):
        with open(os.path.join(os.environ.get("STIKKEL_SOURCE_DIR", ".."), "resources", "help.txt"), "rb") as f:
            help_text = f.read()
        for args in (["-help"], ["-?"], ["--help"], ["-h"], ["-ns", "--help", "-sv"],
                     ["-version", "-h"], ["-display", ":99", "-help"]):
            p = self.run_without_display(*args)
            self.assertEqual((p.returncode, p.stdout, p.stderr), (0, help_text, b""), args)
        for args in (["-version"], ["-dir", "-help", "-version"]):
            p = self.run_without_display(*args)
            self.assertEqual((p.returncode, p.stderr), (0, b""), args)
            self.assertRegex(p.stdout, rb"^stikkel\+ v\S+\n.+\n\n$", args)

    def test_other_words_still_need_a_display(self):
        # "-help" as the value of -dir is a directory name, not a request.
        p = self.run_without_display("-dir", "-help")
        self.assertNotEqual(p.returncode, 0)
        self.assertEqual(p.stdout, b"")
        self.assertIn(b"Can't open display", p.stderr)


def shutil_which(name):
    import shutil
    return shutil.which(name)


if __name__ == "__main__":
    unittest.main()

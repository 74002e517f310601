"""Installation: `cmake --install` into a temporary DESTDIR, the tree it
leaves, and the installed app-defaults file giving the very look of the
compiled-in fallback resources."""

import os
import re
import shutil
import stat
import subprocess
import tempfile
import unittest

from e2e import BIN, SOURCE_DIR, XSession, make_note_dir, note_file, wait_for

BUILD_DIR = os.environ.get("STIKKEL_BUILD_DIR", os.path.dirname(BIN))
PREFIX = "/opt/stikkel-test"
CONVERT = "/usr/bin/convert"  # ImageMagick's own, whatever else is on PATH


def cache_value(name):
    with open(os.path.join(BUILD_DIR, "CMakeCache.txt")) as f:
        for line in f:
            m = re.match(r"%s:[A-Z]+=(.*)$" % re.escape(name), line.rstrip("\n"))
            if m:
                return m.group(1)
    raise AssertionError("%s not in the CMake cache" % name)


class InstallTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="stikkel-install-")
        cls.destdir = os.path.join(cls.tmp, "dest")
        env = dict(os.environ, DESTDIR=cls.destdir)
        p = subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", PREFIX], env=env,
                           capture_output=True, text=True)
        if p.returncode != 0:
            raise AssertionError("cmake --install failed: " + p.stdout + p.stderr)
        appdefaultdir = cache_value("STIKKEL_APPDEFAULTDIR")
        if not os.path.isabs(appdefaultdir):
            appdefaultdir = os.path.join(PREFIX, appdefaultdir)
        cls.appdefaults = cls.destdir + os.path.join(appdefaultdir, "Kleebord")
        cls.binary = cls.destdir + PREFIX + "/bin/stikkel"

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def installed(self, path):
        return self.destdir + path

    def test_tree_holds_exactly_the_four_files(self):
        found = set()
        for root, _, files in os.walk(self.destdir):
            for name in files:
                found.add(os.path.join(root, name))
        expected = {
            self.binary,
            self.appdefaults,
            self.installed(PREFIX + "/share/man/man1/stikkel.1"),
            self.installed(PREFIX + "/share/applications/stikkel.desktop"),
        }
        self.assertEqual(found, expected)
        self.assertTrue(os.stat(self.binary).st_mode & stat.S_IXUSR)
        for installed, source in ((self.appdefaults, "resources/Kleebord"),
                                  (self.installed(PREFIX + "/share/man/man1/stikkel.1"), "doc/stikkel.1"),
                                  (self.installed(PREFIX + "/share/applications/stikkel.desktop"),
                                   "resources/stikkel.desktop")):
            with open(installed, "rb") as a, open(os.path.join(SOURCE_DIR, source), "rb") as b:
                self.assertEqual(a.read(), b.read(), installed)

    def test_installed_binary_runs(self):
        x = XSession(wm=False)
        try:
            p = subprocess.run([self.binary, "-version"], env=x.env, capture_output=True, text=True,
                               timeout=20)
            self.assertEqual(p.returncode, 0, p.stderr)
            self.assertTrue(p.stdout.startswith("stikkel+ v"))
        finally:
            x.close()

    # --- the same look -------------------------------------------------------

    def screens_after_start(self, search_dir):
        """Starts the installed program with the toolkit's file search path
        limited to search_dir, on a fresh display without window manager
        (so nothing is placed at random), with two notes in its note
        directory. Returns two pictures of the screen (PPM bytes), each taken
        once the screen stands still: with the notes, then with the main
        menu held open over the control window."""
        x = XSession(wm=False)
        home = tempfile.mkdtemp(prefix="home-", dir=self.tmp)
        make_note_dir(home, {
            "note1": note_file("Shopping", "milk\nbread\n", x=200, y=150, height=180, width=260),
            "note2": note_file("Call Anna", "about Sunday", x=600, y=300, height=150, width=300,
                               alarm=(1, 5, 14, 9, 30)),
        })
        env = dict(x.env, HOME=home, XFILESEARCHPATH=os.path.join(search_dir, "%N"))
        for var in ("XUSERFILESEARCHPATH", "XAPPLRESDIR"):
            env.pop(var, None)
        proc = subprocess.Popen([self.binary, "-ns", "-na"], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        try:
            control = wait_for(lambda: x.mapped_window("stikkel"), what="control window")
            wait_for(lambda: x.mapped_window("Call Anna"), what="the notes")
            cx, cy, w, h = x.geometry(control)
            x.xdotool("mousemove", "--sync", cx + w // 2, cy + h // 2)
            plain = self.still_screen(x)
            x.xdotool("mousedown", 3)
            wait_for(lambda: self.screenshot(x) != plain, what="the main menu")
            with_menu = self.still_screen(x)
            # Let go away from the menu, so no entry is chosen.
            x.xdotool("mousemove", "--sync", 5, 1000)
            x.xdotool("mouseup", 3)
            return plain, with_menu
        finally:
            proc.kill()
            proc.wait()
            x.close()

    def still_screen(self, x):
        last = [None]

        def still():
            shot = self.screenshot(x)
            same = shot == last[0]
            last[0] = shot
            return same
        wait_for(still, timeout=10, interval=0.2, what="a still screen")
        return last[0]

    @staticmethod
    def screenshot(x):
        xwd = subprocess.run(["xwd", "-root", "-silent"], env=x.env, capture_output=True, check=True)
        return subprocess.run([CONVERT, "xwd:-", "ppm:-"], input=xwd.stdout, capture_output=True,
                              check=True).stdout

    def test_installed_app_defaults_give_the_fallback_look(self):
        empty = os.path.join(self.tmp, "no-app-defaults")
        os.makedirs(empty, exist_ok=True)
        fallback = self.screens_after_start(empty)
        installed = self.screens_after_start(os.path.dirname(self.appdefaults))
        self.assertTrue(installed[0] == fallback[0], "the notes look different")
        self.assertTrue(installed[1] == fallback[1], "the main menu looks different")

        # The search path is really followed: one changed colour in a copy of
        # the installed file shows.
        changed = os.path.join(self.tmp, "changed")
        os.makedirs(changed, exist_ok=True)
        line = "Kleebord*TackOnNote*Note*NoteText*Background:\tYellow\n"
        with open(self.appdefaults) as src:
            text = src.read()
        self.assertIn(line, text)
        with open(os.path.join(changed, "Kleebord"), "w") as dst:
            dst.write(text.replace(line, line.replace("Yellow", "PaleGreen")))
        self.assertTrue(self.screens_after_start(changed)[0] != fallback[0])

if __name__ == "__main__":
    unittest.main()

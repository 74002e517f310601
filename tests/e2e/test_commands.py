"""Commands to the running stikkel from the shell: -new (with -text),
-toggle, -raise and -quit reach the program that holds the note directory
and return at once; with none running -new starts one and the others say so;
nonsense combinations end with status 2 before any display is opened; a
command from another display, from another user, or without the note
directory's key is refused with a message and never carried out."""

import os
import pwd
import subprocess
import sys
import unittest

from e2e import BIN, E2ETest, XSession, home_with_notes, wait_for


class CommandsTest(E2ETest):

    def command(self, *args, home, session=None, status=0):
        """Runs one command to the running stikkel; returns its stderr."""
        app = self.start(*args, home=home, session=session)
        self.assertEqual(app.wait_exit(timeout=30), status, app.stderr())
        return app.stderr()

    def viewable(self, names):
        return [n for n in names if self.x.mapped_window(n)]

    def test_each_command_reaches_the_running_program(self):
        home, note_dir = home_with_notes(self.x.tmp, [("Alpha", 100, 120), ("Beta", 400, 120)])
        first = self.start("-interval", "60", home=home)
        first.wait_ready()
        self.x.wait_mapped("Alpha")
        self.x.wait_mapped("Beta")
        self.assertEqual(os.stat(key_path(self.x, note_dir)).st_mode & 0o777, 0o600)
        self.assertEqual([n for n in os.listdir(note_dir) if not n.startswith("note")], [".lock"],
                         "the key stays out of the note directory")

        # -new -text: a new note of 3x5 inches (96 dpi) at the pointer, with
        # the text, ready for typing after it. The toolkit's own options
        # still go with it.
        self.x.xdotool("mousemove", 700, 500)
        self.assertEqual(self.command("-new", "-text", "first words", "-xrm", "*foo: bar", "-bg", "gray",
                                      home=home), "")
        new = self.x.wait_mapped("Note 3")
        x, y, w, h = self.x.geometry(new)
        self.assertEqual(w, 480)
        self.assertTrue(700 <= x <= 720 and 500 <= y <= 560, (x, y))
        wait_for(lambda: self.x.run(["xdotool", "getwindowfocus"]).strip() == str(new), what="focus on the note")
        self.x.xdotool("type", "--delay", "20", " typed")

        # -new alone: an empty note; -raise: the notes come up, as a plain
        # second start does.
        self.assertEqual(self.command("-new", home=home), "")
        self.x.wait_mapped("Note 4")
        self.assertEqual(self.command("-raise", home=home), "")

        # -toggle hides every shown note, then shows them all again.
        names = ["Alpha", "Beta", "Note 3", "Note 4"]
        self.assertEqual(self.command("-toggle", home=home), "")
        wait_for(lambda: self.viewable(names) == [], what="every note hidden")
        self.assertEqual(self.command("-toggle", home=home), "")
        wait_for(lambda: self.viewable(names) == names, what="every note shown")

        # -quit ends it as Exit does with -sv: the changed note is saved.
        self.assertEqual(self.command("-quit", home=home), "")
        self.assertEqual(first.wait_exit(timeout=20), 0, first.stderr())
        with open(os.path.join(note_dir, "note3"), "rb") as f:
            self.assertTrue(f.read().endswith(b"Note 3\nfirst words typed"))
        self.assertFalse(os.path.exists(key_path(self.x, note_dir)))
        self.assertFalse(os.path.exists(os.path.join(note_dir, ".lock")))

    def test_with_none_running(self):
        home, note_dir = home_with_notes(self.x.tmp, [("Alone", 100, 120)])
        before = sorted(os.listdir(note_dir))
        for option in ("-toggle", "-raise", "-quit"):
            err = self.command(option, home=home, status=1)
            self.assertEqual(err, "stikkel: no stikkel runs on the notes in %s; %s was not done\n"
                             % (note_dir, option))
        self.assertEqual(sorted(os.listdir(note_dir)), before)
        self.assertIsNone(self.x.mapped_window("stikkel"))
        # -new starts the program, which opens the note.
        app = self.start("-new", "-text", "started", home=home)
        app.wait_ready()
        self.x.wait_mapped("Alone")
        self.x.wait_mapped("Note 2")
        self.assertIsNone(app.proc.poll())

    def test_combinations_that_make_no_sense(self):
        cases = [
            (["-new", "-toggle"], "-new, -toggle, -raise and -quit are commands to the running stikkel: "
                                  "give one at a time"),
            (["-quit", "-raise"], "-new, -toggle, -raise and -quit are commands to the running stikkel: "
                                  "give one at a time"),
            (["-text", "words"], "-text goes with -new: stikkel -new -text TEXT"),
            (["-raise", "-text", "words"], "-text goes with -new: stikkel -new -text TEXT"),
            (["-new", "-text"], "-text needs the text of the new note after it"),
        ]
        env = dict(os.environ)
        env.pop("DISPLAY", None)  # answered before any display is opened
        for args, message in cases:
            p = subprocess.run([BIN] + args, env=env, capture_output=True, text=True)
            self.assertEqual((p.returncode, p.stderr), (2, "stikkel: %s\n" % message), args)
        # A -text value that looks like an option is the text.
        home, _ = home_with_notes(self.x.tmp, [])
        app = self.start("-new", "-text", "-fg", home=home)
        app.wait_ready()
        self.x.wait_mapped("Note 1")

    def test_refused_from_elsewhere(self):
        home, note_dir = home_with_notes(self.x.tmp, [("Mine", 100, 120)])
        first = self.start("-interval", "60", home=home)
        first.wait_ready()
        self.x.wait_mapped("Mine")
        no_new_note = lambda: self.assertIsNone(self.x.mapped_window("Note 2"))

        # Another display: the holder cannot be reached there.
        other = XSession(wm=False)
        try:
            err = self.command("-new", home=home, session=other, status=1)
            self.assertIn("are in use by process %d" % first.proc.pid, err)
            self.assertIsNone(other.mapped_window("Note 2"))
        finally:
            other.close()

        # A program on this display that does not know the key.
        # The client is written with python3-xlib, a Debian package: the
        # system interpreter has it.
        forged = subprocess.run(["/usr/bin/python3", __file__, "forge", self.x.display,
                                 "_STIKKEL_NOTES_%s_%d" % (os.uname().nodename, first.proc.pid)],
                                env=self.x.env, capture_output=True, text=True, timeout=30)
        self.assertEqual(forged.stdout, "the request did not carry the key of the notes in %s\n" % note_dir,
                         forged.stderr)
        wait_for(lambda: "refused a request from another program on the display" in first.stderr(),
                 what="the refusal told")
        # One whose window is gone before it is read: refused, and the
        # program goes on.
        subprocess.run(["/usr/bin/python3", __file__, "vanish", self.x.display,
                        "_STIKKEL_NOTES_%s_%d" % (os.uname().nodename, first.proc.pid)],
                       env=self.x.env, capture_output=True, text=True, timeout=30, check=True)
        wait_for(lambda: "the request was not understood" in first.stderr(), what="the vanished request")
        self.assertEqual(self.command("-raise", home=home), "", "the program still answers")

        # Another user, who cannot read the key.
        if os.getuid() == 0:
            for d in (self.x.tmp, home):
                os.chmod(d, 0o755)
            nobody = pwd.getpwnam("nobody")
            p = subprocess.run(["setpriv", "--reuid", str(nobody.pw_uid), "--regid", str(nobody.pw_gid),
                                "--clear-groups", BIN, "-dir", note_dir, "-new", "-text", "intruder"],
                               env=dict(self.x.env, HOME="/nonexistent"), capture_output=True, text=True,
                               timeout=30)
            self.assertEqual(p.returncode, 1, p.stdout + p.stderr)
            self.assertIn("-new was not sent: ", p.stderr)
        no_new_note()
        self.assertIsNone(first.proc.poll())


def key_path(session, note_dir):
    """The file of the key a running stikkel keeps for its note directory."""
    st = os.stat(note_dir)
    return os.path.join(session.env["XDG_RUNTIME_DIR"], "stikkel-key-%x-%x" % (st.st_dev, st.st_ino))


def forge(display_name, selection_name, vanish=False):
    """Asks the holder, as any client of the display could, to open a note,
    with a made-up key; prints its answer. With vanish, destroys the window
    of the request at once instead."""
    from Xlib import X, Xatom, display
    d = display.Display(display_name)
    w = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
    prop = d.intern_atom("_STIKKEL_REQUEST")
    w.change_property(prop, Xatom.STRING, 8,
                      b"stikkel-request 1\nkey " + b"0" * 32 + b"\ncommand -new\ntext\nforged")
    w.convert_selection(d.intern_atom(selection_name), prop, prop, X.CurrentTime)
    if vanish:
        w.destroy()
        d.sync()
        return
    d.flush()
    while True:
        e = d.next_event()
        if e.type == X.SelectionNotify:
            break
    answer = w.get_full_property(prop, X.AnyPropertyType)
    print(answer.value.decode() if answer else "(no answer)")


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] in ("forge", "vanish"):
        forge(sys.argv[2], sys.argv[3], vanish=sys.argv[1] == "vanish")
    else:
        unittest.main()

"""The Email Note dialog driven with real input: File menu, an address
typed into the dialog, Accept; a recording command stands in for mail.
Print and mail commands that fail or hang."""

import os
import re
import signal
import stat
import unittest

from e2e import E2ETest, make_note_dir, note_file, wait_for


class EmailTest(E2ETest):

    def recording_mailer(self, work):
        """A mail command that keeps its arguments (NUL-terminated) and its
        standard input in work/args and work/stdin."""
        path = os.path.join(work, "mailer")
        with open(path, "w") as f:
            f.write("#!/bin/sh\n: > '%s/args'\nfor a in \"$@\"; do printf '%%s\\0' \"$a\" >> '%s/args'; done\n"
                    "cat > '%s/stdin'\n" % (work, work, work))
        os.chmod(path, stat.S_IRWXU)
        return path

    def new_override_window(self, before):
        """A mapped override-redirect window (a menu) that was not in before."""
        for w in self.x.windows():
            if w["id"] in before or w["w"] < 10:
                continue
            attrs = self.x.run(["xwininfo", "-id", str(w["id"]), "-stats"], check=False)
            if "Override Redirect State: yes" in attrs and "IsViewable" in attrs:
                return w
        return None

    def test_mail_a_note_from_the_dialog(self):
        work = os.path.join(self.x.tmp, "work")
        os.makedirs(work)
        mailer = self.recording_mailer(work)
        home = os.path.join(self.x.tmp, "home")
        note_dir = make_note_dir(home, {"note1": note_file("Greetings", "Hello Bob,\nsee you at 5.\n", x=200, y=200,
                                                           height=200, width=300)})

        app = self.start("-tmpdir", work, "-emailcmd", mailer + ' -s"%s" %s', home=home)
        wid = self.x.wait_mapped("Greetings")
        x, y, _, _ = self.x.geometry(wid)

        # File menu: press on the File button, release on its last entry.
        before = {w["id"] for w in self.x.windows()}
        self.x.xdotool("mousemove", "--sync", x + 12, y + 8)
        self.x.xdotool("mousedown", 1)
        menu = wait_for(lambda: self.new_override_window(before), what="the File menu")
        self.x.xdotool("mousemove", "--sync", menu["x"] + menu["w"] // 2, menu["y"] + menu["h"] - 6)
        self.x.xdotool("mouseup", 1)

        dialog = self.x.wait_mapped("Email Note")
        parts = [w for w in self.x.subwindows(dialog) if w["w"] > 5 and w["h"] > 5]
        form = max(parts, key=lambda w: w["w"] * w["h"])
        parts = sorted((w for w in parts if w is not form), key=lambda w: (w["y"], w["x"]))
        self.assertEqual(len(parts), 4, parts)  # label, address field, Accept, Cancel
        label, field, accept, cancel = parts
        self.assertLess(label["y"], field["y"])
        self.assertLess(field["y"], accept["y"])
        self.assertEqual(accept["y"], cancel["y"])
        self.assertLess(accept["x"], cancel["x"])

        self.x.click_center(field)
        self.x.xdotool("type", "--delay", "10", "alice@example.org")
        self.x.click_center(accept)

        args_path = os.path.join(work, "args")
        wait_for(lambda: os.path.exists(os.path.join(work, "stdin")), what="the mail command")
        self.x.wait_unmapped("Email Note")
        with open(args_path, "rb") as f:
            args = f.read().split(b"\0")[:-1]
        self.assertEqual(args, [b"-sGreetings", b"alice@example.org"])
        with open(os.path.join(work, "stdin"), "rb") as f:
            self.assertEqual(f.read(), b"Hello Bob,\nsee you at 5.\n")
        self.assertFalse(os.path.exists(os.path.join(work, "sk%d" % app.proc.pid)),
                         "the temporary file is removed")
        self.assertIsNone(app.proc.poll())

    def visible_count(self, name):
        out = self.x.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % re.escape(name)], check=False)
        return len(out.split())

    def file_menu_entry(self, note_wid, entry):
        form = [w for w in self.x.descendants(note_wid) if w["depth"] == 1][0]
        file_button = min((w for w in self.x.descendants(note_wid) if w["depth"] == 2 and w["y"] == form["y"]),
                          key=lambda w: w["x"])
        self.x.choose_from_menu(file_button["id"], ["Menu", "-", "Save", "Open", "Export", "Print", "EmailNote"],
                                entry)

    def hanging_mailer_setup(self, *args):
        """A note "Greetings" and a mailer that says it started, then waits for
        "go" (at most 30 s, and not past the test), complains and fails."""
        work = os.path.join(self.x.tmp, "work")
        os.makedirs(work)
        mailer = os.path.join(work, "mailer")
        with open(mailer, "w") as f:
            f.write("#!/bin/sh\ncat > '%s/stdin'\n: > '%s/started'\ni=0\n"
                    "while [ ! -e '%s/go' ] && [ -d '%s' ] && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done\n"
                    ": > '%s/finished'\necho 'mail: no route to host' >&2\nexit 1\n" % (work, work, work, work, work))
        os.chmod(mailer, stat.S_IRWXU)
        home = os.path.join(self.x.tmp, "home")
        make_note_dir(home, {"note1": note_file("Greetings", "Hello Bob\n", x=200, y=200, height=200, width=300)})
        app = self.start("-tmpdir", work, "-emailcmd", mailer + ' -s"%s" %s', *args, home=home)
        return app, self.x.wait_mapped("Greetings"), work

    def send_mail(self, wid, address):
        self.file_menu_entry(wid, "EmailNote")
        dialog = self.x.wait_mapped("Email Note")
        parts = sorted((w for w in self.x.subwindows(dialog) if w["w"] > 5 and w["h"] > 5),
                       key=lambda w: (w["y"], w["x"], -w["w"]))
        field, accept = parts[2], parts[3]
        self.x.click_center(field)
        self.x.xdotool("type", "--delay", "10", address)
        self.x.click_center(accept)

    def test_failing_print_and_hanging_mailer(self):
        app, wid, work = self.hanging_mailer_setup("-printcmd", "/nonexistent/lpr %s")

        # lpr is missing: the user is told, with what the shell said.
        self.file_menu_entry(wid, "Print")
        wait_for(lambda: self.visible_count("Stikkel Error") == 1, what="the print error")
        wait_for(lambda: "/nonexistent/lpr: not found" in app.stderr(), what="the shell's message")

        # The mailer hangs: the dialog closes at once and the program answers.
        self.send_mail(wid, "bob@example.org")
        self.x.wait_unmapped("Email Note")
        wait_for(lambda: os.path.exists(os.path.join(work, "started")), what="the mailer")
        self.file_menu_entry(wid, "Print")
        wait_for(lambda: self.visible_count("Stikkel Error") == 2, what="a second print error")
        self.assertFalse(os.path.exists(os.path.join(work, "finished")), "all this while the mailer waits")

        # The mailer gives up: its failure is shown, its file removed.
        open(os.path.join(work, "go"), "w").close()
        wait_for(lambda: self.visible_count("Stikkel Error") == 3, what="the mail error")
        self.assertIn("mail: no route to host", app.stderr())
        self.assertEqual([n for n in os.listdir(work) if n.startswith("sk")], [])
        with open(os.path.join(work, "stdin"), "rb") as f:
            self.assertEqual(f.read(), b"Hello Bob\n")
        self.assertIsNone(app.proc.poll())

    def test_ending_with_a_mailer_still_running_leaves_no_temporary_file(self):
        app, wid, work = self.hanging_mailer_setup("-sv")
        self.send_mail(wid, "bob@example.org")
        wait_for(lambda: os.path.exists(os.path.join(work, "started")), what="the mailer")
        self.assertEqual(len([n for n in os.listdir(work) if n.startswith("sk")]), 1)
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(), 0)
        self.assertEqual([n for n in os.listdir(work) if n.startswith("sk")], [])


if __name__ == "__main__":
    unittest.main()

"""The Email Note dialog driven with real input: File menu, an address
typed into the dialog, Accept; a recording command stands in for mail."""

import os
import stat
import unittest

from e2e import E2ETest, note_file, wait_for


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
        note_dir = os.path.join(home, ".tackonnotes")
        os.makedirs(note_dir)
        with open(os.path.join(note_dir, "note1"), "wb") as f:
            f.write(note_file("Greetings", "Hello Bob,\nsee you at 5.\n", x=200, y=200, height=200, width=300))

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


if __name__ == "__main__":
    unittest.main()

"""One-line fields with real input: the note's name, the file selection's
path and the e-mail address show what is typed and take no line break."""

import os
import stat
import subprocess
import unittest

from e2e import E2ETest, wait_for
import test_file_selection

NOTES_MENU = ["Menu", "-", "Hide", "Erase", "-", "Destroy", "-", "Name", "Anchor", "UnAnchor",
              "SetAlarm", "UnsetAlarm", "InsertCalendar", "InsertDate"]
FILE_MENU = ["Menu", "-", "Save", "Open", "Export", "Print", "EmailNote"]
LINE_BREAK_KEYS = ["Return", "KP_Enter", "ctrl+m", "ctrl+j", "ctrl+o", "shift+Return"]


class OneLineFieldsTest(E2ETest):

    start_with_note = test_file_selection.FileSelectionTest.start_with_note

    def choose(self, note_wid, entry):
        form = [w for w in self.x.descendants(note_wid) if w["depth"] == 1][0]
        bar = sorted((w for w in self.x.descendants(note_wid) if w["depth"] == 2 and w["y"] == form["y"]),
                     key=lambda w: w["x"])
        if entry in FILE_MENU:
            self.x.choose_from_menu(bar[0]["id"], FILE_MENU, entry)
        else:
            self.x.choose_from_menu(bar[1]["id"], NOTES_MENU, entry)

    def rows(self, wid, depth=2):
        return sorted((w for w in self.x.descendants(wid) if w["depth"] == depth), key=lambda w: (w["y"], w["x"]))

    def type_into(self, field, text):
        self.x.click_center(field)
        self.x.xdotool("key", "ctrl+a", "BackSpace")
        self.x.xdotool("type", "--delay", "20", text)

    def test_name_field_shows_the_text_being_typed(self):
        app, note = self.start_with_note("Alpha", "text")
        self.choose(note, "Name")
        dialog = self.x.wait_mapped("Name")
        label, field, confirm, cancel = self.rows(dialog)
        self.type_into(field, "Renamed one")
        # The field is narrower than the text: it shows its end, the text
        # being typed (black on the yellow of the fallback resources).
        shot = self.x.screenshot("name-field.png")
        right_half = subprocess.run(
            ["convert", shot, "-crop", "%dx%d+%d+%d" % (field["w"] // 2 - 2, field["h"] - 4,
                                                         field["x"] + field["w"] // 2, field["y"] + 2),
             "-fill", "white", "+opaque", "#000000", "-format", "%[fx:mean]", "info:"],
            capture_output=True, text=True, check=True).stdout
        self.assertLess(float(right_half), 0.97, "black text in the right half of the field")
        # No line break goes in: each of these rings the bell and the
        # dialog stays.
        for key in LINE_BREAK_KEYS:
            self.x.xdotool("key", key)
        self.assertEqual(self.x.mapped_window("Name"), dialog)
        self.x.click_center(confirm)
        self.x.wait_unmapped("Name")
        wait_for(lambda: self.x.wm_name(note) == "Renamed one", what="the new title")
        self.assertIsNone(app.proc.poll())

    def test_return_in_the_path_field_is_accept(self):
        files = os.path.join(self.x.tmp, "files")
        os.makedirs(files)
        app, note = self.start_with_note("Dentist", "Tuesday 10:00", "-homedir", files)
        self.choose(note, "Export")
        window = self.x.wait_mapped("File Selection Window")
        lists, label, field, buttons = self.rows(window)
        self.type_into(field, os.path.join(files, "dentist.txt"))
        self.x.xdotool("key", "Return")
        self.x.wait_unmapped("File Selection Window")
        target = os.path.join(files, "dentist.txt")
        wait_for(lambda: os.path.exists(target), what="the exported file")
        self.assertEqual(os.listdir(files), ["dentist.txt"])
        with open(target, "rb") as f:
            self.assertEqual(f.read(), b"Tuesday 10:00\n")
        self.assertIsNone(app.proc.poll())

    def test_a_pasted_address_is_one_line_and_return_sends(self):
        work = os.path.join(self.x.tmp, "work")
        os.makedirs(work)
        mailer = os.path.join(work, "mailer")
        with open(mailer, "w") as f:
            f.write("#!/bin/sh\nprintf '%%s\\n' \"$@\" > '%s/args'\ncat > /dev/null\n" % work)
        os.chmod(mailer, stat.S_IRWXU)
        app, note = self.start_with_note("Greetings", "Hello", "-tmpdir", work,
                                         "-emailcmd", mailer + ' -s"%s" %s')
        # Someone else's selection: an address copied with its line break.
        owner = subprocess.Popen(["xclip", "-quiet", "-selection", "primary", "-i"], env=self.x.env,
                                 stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(owner.kill)
        owner.stdin.write(b"bob@example.org\n")
        owner.stdin.close()
        wait_for(lambda: self.x.run(["xclip", "-o", "-selection", "primary"], check=False) == "bob@example.org\n",
                 what="the selection")
        self.choose(note, "EmailNote")
        dialog = self.x.wait_mapped("Email Note")
        label, field, accept, cancel = self.rows(dialog)[:4]
        self.x.click_center(field)
        self.x.click_center(field, button=2)
        self.x.xdotool("key", "Return")
        self.x.wait_unmapped("Email Note")
        args = os.path.join(work, "args")
        wait_for(lambda: os.path.exists(args) and os.path.getsize(args) > 0, what="the mail command")
        with open(args) as f:
            self.assertEqual(f.read(), "-sGreetings\nbob@example.org\n")
        self.assertIsNone(app.proc.poll())


if __name__ == "__main__":
    unittest.main()

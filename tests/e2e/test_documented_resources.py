"""Every resource line that README and the manual page offer changes what
they say it changes: each is given to the real program with -xrm and its
effect looked at on the screen or on disk, beside a run without it."""

import os
import re
import signal
import subprocess
import tempfile
import unittest

from e2e import E2ETest, SOURCE_DIR, make_note_dir, note_file, wait_for

COLOURS = {"palegreen": "#98FB98", "black": "#000000", "white": "#FFFFFF", "steelblue": "#4682B4",
           "gray": "#BEBEBE", "red": "#FF0000", "yellow": "#FFFF00", "coral": "#FF7F50"}


def readme_lines():
    """The resource lines of README's table of resources to set."""
    with open(os.path.join(SOURCE_DIR, "README.md")) as f:
        text = f.read()
    table = text.split("| To change | Resource line | Default |", 1)[1].split("\n\n", 1)[0]
    lines = []
    for row in table.splitlines()[2:]:
        cell = row.split("|")[2]
        lines += re.findall(r"`([^`]+)`", cell.split("(")[0])
    return lines


def man_page_lines():
    """The example lines of the manual page's X RESOURCES section."""
    with open(os.path.join(SOURCE_DIR, "doc", "stikkel.1")) as f:
        text = f.read()
    block = text.split("For example, to get pale green notes", 1)[1]
    block = block.split(".nf\n", 1)[1].split("\n.fi", 1)[0]
    return [line.strip() for line in block.splitlines() if line.strip()]


def readme_locale_lines(word):
    """The resource lines of the example of README's locale section that
    names `word`, each line break escaped with a backslash joined as Xlib
    joins it."""
    with open(os.path.join(SOURCE_DIR, "README.md")) as f:
        text = f.read()
    section = text.split("## Locale, Unicode and fonts", 1)[1].split("\n## ", 1)[0]
    blocks = [b.split("```", 1)[0] for b in section.split("```\n")[1:][::2]]
    block = [b for b in blocks if word in b][0]
    joined = re.sub(r"\\\n\s*", "", block)
    return [line.strip() for line in joined.splitlines() if line.strip()]


def readme_font_set_lines():
    return readme_locale_lines("fontSet")


def split(line):
    specifier, value = line.split(":", 1)
    return specifier.strip(), value.strip()


class DocumentedResources(E2ETest):
    """The program run with resource lines, and what they change."""

    def setUp(self):
        super().setUp()
        self.baselines = {}

    def baseline(self, measure):
        """What measure gives without any resource line, measured once."""
        if measure not in self.baselines:
            self.baselines[measure] = measure()
        return self.baselines[measure]

    # --- running the program --------------------------------------------------

    def run_program(self, *args, text="M\nM\nM\n", note=True, extra_args=()):
        # One program at a time, also after a failed check.
        for app in self.apps:
            if app.proc.poll() is None:
                self.stop(app)
        home = tempfile.mkdtemp(prefix="stikkel-home-", dir=self.x.tmp)
        note_dir = make_note_dir(home, {"note1": note_file("Looks", text, x=300, y=200, width=300, height=200)}
                                 if note else {})
        xrm = []
        for line in args:
            xrm += ["-xrm", line]
        app = self.start(*(xrm + list(extra_args)), home=home, pass_dir=False)
        app.wait_ready()
        wid = self.x.wait_mapped("Looks") if note else None
        return app, wid

    def stop(self, app):
        app.stop()
        self.x.wait_unmapped("stikkel")

    def children(self, wid, depth=2):
        return [w for w in self.x.descendants(wid) if w["depth"] == depth]

    def text_area(self, wid):
        """The inside of the note's text area, clear of its border."""
        area = max(self.children(wid), key=lambda w: w["w"] * w["h"])
        return dict(area, x=area["x"] + 3, y=area["y"] + 3, w=area["w"] - 6, h=area["h"] - 6)

    def colours(self, rect):
        shot = self.x.screenshot("resource.png")
        out = subprocess.run(["convert", shot, "-crop", "%dx%d+%d+%d" % (rect["w"], rect["h"], rect["x"], rect["y"]),
                              "-depth", "8", "-format", "%c", "histogram:info:-"],
                             capture_output=True, text=True, check=True).stdout
        return {m.upper(): int(n) for n, m in re.findall(r"^\s*(\d+):.*?(#[0-9A-Fa-f]{6})", out, re.M)}

    def rows_with(self, rect, colour):
        """The rows of rect, from its top, that hold a pixel of colour."""
        shot = self.x.screenshot("resource.png")
        out = subprocess.run(["convert", shot, "-crop", "%dx%d+%d+%d" % (rect["w"], rect["h"], rect["x"], rect["y"]),
                              "-depth", "8", "txt:-"], capture_output=True, text=True, check=True).stdout
        rows = set()
        for m in re.finditer(r"^(\d+),(\d+):.*?(#[0-9A-Fa-f]{6})", out, re.M):
            if m.group(3).upper() == colour:
                rows.add(int(m.group(2)))
        return sorted(rows)

    def line_pitch(self, rect):
        """Pixels from one text line to the next (the text is three lines of "M")."""
        rows = self.rows_with(rect, "#000000")
        starts = [r for r in rows if r - 1 not in rows]
        self.assertGreaterEqual(len(starts), 3, rows)
        return starts[1] - starts[0]

    # --- what each line changes -------------------------------------------------

    def note_text_colours(self, *lines):
        app, wid = self.run_program(*lines)
        found = self.colours(self.text_area(wid))
        self.stop(app)
        return found

    def note_text_foreground(self, *lines):
        """The glyphs' colour: the most common one after the background."""
        found = self.note_text_colours(*lines)
        return sorted(found, key=found.get)[-2]

    def note_text_pitch(self, *lines):
        app, wid = self.run_program(*lines)
        pitch = self.line_pitch(self.text_area(wid))
        self.stop(app)
        return pitch

    def plaid_colours(self, *lines):
        app, _ = self.run_program(*lines, note=False)
        control = self.x.mapped_window("stikkel")
        x, y, w, h = self.x.geometry(control)
        found = set(self.colours(dict(x=x, y=y, w=w, h=h)))
        self.stop(app)
        return found

    def main_menu_height(self, *lines):
        app, _ = self.run_program(*lines, note=False)
        control = self.x.mapped_window("stikkel")
        x, y, w, h = self.x.geometry(control)
        before = self.x.viewable_overrides()
        self.x.xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
        self.x.xdotool("mousedown", 3)
        menu = self.x.wait_new_override(before)
        height = self.x.geometry(menu)[3]
        self.x.xdotool("mouseup", 3)
        self.stop(app)
        return height

    def button_colours(self, *lines):
        """The colours of the Continue button of a message ("There are no
        notes to raise.", from button 1 on the control window)."""
        app, _ = self.run_program(*lines, note=False)
        control = self.x.mapped_window("stikkel")
        x, y, w, h = self.x.geometry(control)
        self.x.click(x + w // 2, y + h // 2)
        error = self.x.wait_mapped("Stikkel Error")
        button = min((c for c in self.children(error)), key=lambda c: c["w"] * c["h"])
        found = set(self.colours(dict(button, x=button["x"] + 4, w=button["w"] - 8, y=button["y"] + 4,
                                      h=button["h"] - 8)))
        self.stop(app)
        return found

    # --- the lines ----------------------------------------------------------------

    def check(self, line):
        specifier, value = split(line)
        probe = {"black": "red", "true": None}.get(value.lower())
        if specifier.endswith("NoteText*background"):
            # All of the text area, under the text too.
            found = self.note_text_colours(line)
            self.assertEqual(max(found, key=found.get), COLOURS[value.lower()], found)
            self.assertNotIn(COLOURS["yellow"], found)
            found = self.baseline(self.note_text_colours)
            self.assertEqual(max(found, key=found.get), COLOURS["yellow"], found)
        elif specifier.endswith("NoteText*foreground"):
            self.assertEqual(self.note_text_foreground(line), COLOURS[value.lower()])
            # Black is the foreground anyway: the line must reach it all the same.
            self.assertEqual(self.note_text_foreground("%s: %s" % (specifier, probe)), COLOURS[probe])
        elif specifier.endswith("NoteText*font"):
            # A 15-pixel font: lines a little more than 15 pixels apart.
            self.assertEqual(value, "9x15")
            pitch = self.note_text_pitch(line)
            self.assertIn(pitch, range(15, 20))
            self.assertNotEqual(self.baseline(self.note_text_pitch), pitch)
        elif specifier.endswith("Plaid.background") or specifier.endswith("Plaid.foreground"):
            self.assertIn(COLOURS[value.lower()], self.plaid_colours(line))
            self.assertNotIn(COLOURS[value.lower()], self.baseline(self.plaid_colours))
        elif specifier == "Kleebord.Menu*font":
            self.assertGreater(self.main_menu_height(line), self.baseline(self.main_menu_height))
        elif specifier.endswith("Command.background"):
            self.assertIn(COLOURS[value.lower()], self.button_colours(line))
            self.assertNotIn(COLOURS[value.lower()], self.baseline(self.button_colours))
        elif specifier.endswith("Command.foreground"):
            # The label turns from white to the colour (the oval's border is
            # black in any case).
            self.assertIn(COLOURS["white"], self.baseline(self.button_colours))
            found = self.button_colours(line)
            self.assertIn(COLOURS[value.lower()], found)
            self.assertNotIn(COLOURS["white"], found)
        elif specifier == "Kleebord.noteDir":
            app, _ = self.run_program(line, note=False)
            wait_for(lambda: os.path.isdir(os.path.join(app.home, value)), what="the note directory")
            self.assertFalse(os.path.exists(os.path.join(app.home, ".tackonnotes", "note2")))
            self.stop(app)
        elif specifier == "Kleebord.interval":
            # The period cannot be waited for here; that the line reaches the
            # setting shows in a value out of range, which is reported.
            app, _ = self.run_program(line, note=False)
            self.assertNotIn("interval", app.stderr())
            self.stop(app)
            app, _ = self.run_program(specifier + ": 0", note=False)
            wait_for(lambda: 'stikkel: interval "0" is not a whole number' in app.stderr(), what="the warning")
            self.stop(app)
        elif specifier == "Kleebord.scrollBar":
            # A note with one short line: a scroll bar only when asked for.
            counts = []
            for args in ((line,), ()):
                app, wid = self.run_program(*args, text="short")
                counts.append(len([w for w in self.x.descendants(wid) if w["depth"] == 3]))
                self.stop(app)
            self.assertGreater(counts[0], counts[1])
        elif specifier == "Kleebord.saveNotes":
            # Told to end with a changed note: written without asking.
            app, wid = self.run_program(line, text="old")
            self.x.click_center(self.text_area(wid))
            self.x.xdotool("key", "ctrl+e", "N")
            # The keys are in once the change is in the recovery journal.
            journal = os.path.join(app.home, ".tackonnotes", ".recovery", "note1")
            wait_for(lambda: os.path.exists(journal), what="the recovery journal")
            app.signal(signal.SIGTERM)
            self.assertEqual(app.wait_exit(timeout=20), 0)
            with open(os.path.join(app.home, ".tackonnotes", "note1"), "rb") as f:
                self.assertTrue(f.read().endswith(b"\nLooks\noldN"))
        elif specifier == "Kleebord.keyMap":
            # Ctrl+A then a key: Athena's goes to the start of the line, the
            # desktop map's selects all, which the key replaces.
            found = []
            for args in ((line,), ()):
                app, wid = self.run_program(*args, text="old")
                self.x.click_center(self.text_area(wid))
                self.x.xdotool("key", "ctrl+a", "N")
                journal = os.path.join(app.home, ".tackonnotes", ".recovery", "note1")
                wait_for(lambda: os.path.exists(journal), what="the recovery journal")
                with open(journal, "rb") as f:
                    found.append(f.read().split(b"\n", 2)[2])
                self.stop(app)
            self.assertEqual(found, [b"Nold", b"N"])
        else:
            self.fail("no check for the documented line " + line)



class DocumentedResourcesTest(DocumentedResources):

    def test_documented_lines(self):
        readme, man_page = readme_lines(), man_page_lines()
        self.assertGreaterEqual(len(readme), 12, readme)
        self.assertEqual(len(man_page), 3, man_page)
        # A line that both give is tried once.
        lines = {split(line): line for line in readme + man_page}
        for line in lines.values():
            with self.subTest(line=line):
                self.check(line)



class DocumentedFontSetsTest(DocumentedResources):
    """The font set README offers for a UTF-8 locale, where notes draw with
    font sets."""
    LOCALE = "C.UTF-8"

    def test_documented_font_set(self):
        lines = readme_font_set_lines()
        self.assertEqual(len(lines), 1, lines)
        specifier, value = split(lines[0])
        self.assertTrue(specifier.endswith("NoteText*fontSet"), specifier)
        # A 20-pixel font among 16-pixel ones: lines at least 20 pixels
        # apart, and further than with the built-in set.
        pitch = self.note_text_pitch(lines[0])
        self.assertIn(pitch, range(20, 30))
        self.assertGreater(pitch, self.baseline(self.note_text_pitch))
        # The font line of the C locale changes nothing here.
        self.assertEqual(self.note_text_pitch("Kleebord*TackOnNote*Note*NoteText*font: 9x15"),
                         self.baseline(self.note_text_pitch))

    def test_documented_faces(self):
        lines = readme_locale_lines("faceName")
        self.assertEqual(len(lines), 3, lines)
        for line in lines:
            with self.subTest(line=line):
                specifier, value = split(line)
                if specifier.endswith("NoteText*faceSize") or specifier == "Kleebord*faceSize":
                    # 14 (or 13) points instead of 11: lines further apart.
                    self.assertIn(value, ("14", "13"))
                    self.assertGreater(self.note_text_pitch(line), self.baseline(self.note_text_pitch))
                elif specifier.endswith("NoteText*faceName"):
                    # Another face: other pixels, still black on yellow.
                    found = self.note_text_colours(line)
                    self.assertNotEqual(found, self.baseline(self.note_text_colours))
                    self.assertEqual(max(found, key=found.get), COLOURS["yellow"])
                else:
                    self.fail("no check for the documented line " + line)


if __name__ == "__main__":
    unittest.main()

"""Unicode notes in a UTF-8 locale: text typed with real keys and pasted from
a real selection owner, and a name given through the Name dialog, are saved
as UTF-8 and drawn with real glyphs; window titles, Export, Print and Email
carry UTF-8; a note file written in a single-byte locale shows the right
characters and keeps its bytes until the note changes. In the C locale the
window title stays the bytes of the name, as always."""

import os
import re
import signal
import stat
import subprocess
import tempfile
import unittest

from e2e import E2ETest, choose_from_main_menu, home_with_notes, make_note_dir, note_file, wait_for
from faults import sync_note
from test_alarms import this_minute_with_time_to_spare

YELLOW = (255, 255, 0)  # the note text's background
FILE_MENU = ["Menu", "-", "Save", "Open", "Export", "Print", "EmailNote"]
NOTES_MENU = ["Menu", "-", "Hide", "Erase", "-", "Destroy", "-", "Name", "Anchor", "UnAnchor",
              "SetAlarm", "UnsetAlarm", "InsertCalendar", "InsertDate"]
SAMPLE = "café – naïve – Ελληνικά – Кириллица – 日本語 – 🙂"


def split_note(file_bytes):
    """The name and text of a note file, after checking that the header's
    length counts the text's bytes."""
    header, name, text = file_bytes.split(b"\n", 2)
    assert int(header.split()[5]) == len(text), (header, len(text))
    return name, text


def latin1_note(name, text, **kw):
    """A note file as a single-byte locale writes it: name and text in
    Latin-1."""
    data = note_file("x", text.encode("latin-1"), **kw)
    return data.replace(b"\nx\n", b"\n" + name.encode("latin-1") + b"\n", 1)


class UnicodeTest(E2ETest):

    def setUp(self):
        super().setUp()
        self.home = tempfile.mkdtemp(dir=self.x.tmp)
        self.note_dir = make_note_dir(self.home)

    def write_note(self, file_name, data):
        make_note_dir(self.home, {file_name: data})

    def read_note(self, file_name):
        with open(os.path.join(self.note_dir, file_name), "rb") as f:
            return f.read()

    def property_bytes(self, wid, prop):
        """A window property's type and bytes, as the server holds them
        (type None when the window has no such property)."""
        out = self.x.run(["xprop", "-id", str(wid), "-f", prop, "8x", prop], check=False)
        m = re.match(r"%s\((\w+)\) = (.*)" % prop, out.strip())
        if not m:
            return None, b""
        return m.group(1), bytes(int(h, 16) for h in m.group(2).split(", "))

    def rows(self, wid, depth=2):
        return sorted((w for w in self.x.descendants(wid) if w["depth"] == depth), key=lambda w: (w["y"], w["x"]))

    def choose(self, note_wid, entry):
        form = self.rows(note_wid, 1)[0]
        bar = sorted((w for w in self.rows(note_wid) if w["y"] == form["y"]), key=lambda w: w["x"])
        if entry in FILE_MENU:
            self.x.choose_from_menu(bar[0]["id"], FILE_MENU, entry)
        else:
            self.x.choose_from_menu(bar[1]["id"], NOTES_MENU, entry)

    def type_into(self, field, text):
        self.x.click_center(field)
        self.x.xdotool("key", "ctrl+a", "BackSpace")
        self.x.xdotool("type", "--delay", "40", text)

    def text_window(self, wid):
        """The note's text widget: the largest window in its form."""
        return max(self.rows(wid), key=lambda w: w["w"] * w["h"])


class Utf8NotesTest(UnicodeTest):
    LOCALE = "C.UTF-8"

    def setUp(self):
        super().setUp()
        self.map_keys(SAMPLE + "ñαΩЖяß😀\U0010FFFD")

    def map_keys(self, chars):
        """Gives each character outside ASCII a key of its own (keycodes from
        150 on hold media keys) before the program starts. xdotool would
        otherwise map a spare key for each such character just before it
        presses it and map it back just after: a client that looks the key
        up once the mapping is back gets nothing."""
        wanted = sorted(set(c for c in chars if ord(c) > 0x7e))
        self.assertLessEqual(len(wanted), 100)
        lines = ["keycode %d = U%04X" % (150 + i, ord(c)) for i, c in enumerate(wanted)]
        self.x.run(["xmodmap", "-"], input="\n".join(lines) + "\n")

    def own_primary(self, text):
        """Makes xclip the owner of PRIMARY, serving text as UTF8_STRING."""
        owner = subprocess.Popen(["xclip", "-quiet", "-i", "-selection", "primary", "-t", "UTF8_STRING"],
                                 env=self.x.env, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        self.addCleanup(owner.wait)
        self.addCleanup(owner.kill)
        owner.stdin.write(text.encode())
        owner.stdin.close()
        wait_for(lambda: subprocess.run(["xclip", "-o", "-selection", "primary"], env=self.x.env,
                                        capture_output=True).stdout == text.encode(),
                 what="xclip to own PRIMARY")

    def ink_rows(self, win):
        """The window's pixels as rows of booleans: True where a pixel
        differs from the note's yellow background."""
        xwd = subprocess.run(["xwd", "-silent", "-nobdrs", "-id", str(win["id"])], env=self.x.env,
                             capture_output=True, check=True).stdout
        rgb = subprocess.run(["convert", "xwd:-", "-depth", "8", "rgb:-"], input=xwd,
                             capture_output=True, check=True).stdout
        w, h = win["w"], win["h"]
        self.assertEqual(len(rgb), w * h * 3)
        return [[tuple(rgb[(y * w + x) * 3:(y * w + x) * 3 + 3]) != YELLOW for x in range(w)] for y in range(h)]

    def glyphs_of_first_line(self, rows):
        """The ink of the first text line cut into groups of columns separated
        by blank runs of 6 pixels or more: one bitmap per glyph."""
        inked = [y for y, row in enumerate(rows) if any(row)]
        self.assertTrue(inked, "the note shows text")
        top = bottom = inked[0]
        while bottom + 1 < len(rows) and any(rows[bottom + 1]):
            bottom += 1
        band = rows[top:bottom + 1]
        columns = [any(row[x] for row in band) for x in range(len(band[0]))]
        groups, start, blank = [], None, 0
        for x, ink in enumerate(columns + [False] * 6):
            if ink:
                if start is None:
                    start = x
                blank = 0
            elif start is not None:
                blank += 1
                if blank == 6:
                    end = x - 6
                    groups.append(tuple(tuple(row[start:end + 1]) for row in band))
                    start = None
        return groups

    def test_typed_pasted_and_named_note_is_saved_as_utf8_and_drawn_with_glyphs(self):
        # First line: one glyph each of Latin with accents, Greek, Cyrillic,
        # CJK and emoji, two of each kind so that boxes would show as equal
        # bitmaps, then a character no installed font has twice (U+10FFFD, of
        # a private use plane), drawn as a placeholder. An empty line keeps it
        # apart from the next, whose emoji reach the whole height of a line.
        samples = ["é", "ñ", "α", "Ω", "Ж", "я", "日", "本", "🙂", "😀", "\U0010FFFD", "\U0010FFFD"]
        typed = "   ".join(samples) + "\n\n" + SAMPLE + "\n"
        pasted = SAMPLE + "\nGrüße – Ελλάδα – Москва – 中文\n"
        name = "Ελληνικά – Кириллица – 日本語 – café 🙂"
        self.write_note("note1", note_file("Unicode", "", x=100, y=100, height=300, width=520))
        app = self.start("-sv", home=self.home)
        wid = self.x.wait_mapped("Unicode")
        text = self.text_window(wid)

        self.x.click(text["x"] + 20, text["y"] + 20)
        self.x.xdotool("type", "--delay", "40", typed)
        self.own_primary(pasted)
        # Button 2 inserts the selection; the pointer at the bottom of the
        # text stands after its end.
        self.x.click(text["x"] + 20, text["y"] + text["h"] - 5, button=2)

        self.choose(wid, "Name")
        dialog = self.x.wait_mapped("Name")
        label, field, confirm, cancel = self.rows(dialog)
        self.type_into(field, name)
        self.x.click_center(confirm)
        self.x.wait_unmapped("Name")
        # The title as UTF-8 for window managers that read it, and as the
        # toolkit writes WM_NAME in the locale's encoding.
        wait_for(lambda: self.property_bytes(wid, "_NET_WM_NAME") == ("UTF8_STRING", name.encode()),
                 what="the new name in _NET_WM_NAME")
        self.assertEqual(self.x.wm_name(wid), name)

        expected = (typed + pasted).encode()
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(), 0)
        saved_name, saved = split_note(self.read_note("note1"))
        self.assertEqual(saved_name, name.encode())
        self.assertEqual(saved, expected)
        saved_file = self.read_note("note1")
        mtime = os.stat(os.path.join(self.note_dir, "note1")).st_mtime_ns

        app = self.start("-sv", home=self.home)
        wid = self.x.wait_mapped(name)
        self.assertEqual(self.property_bytes(wid, "_NET_WM_NAME"), ("UTF8_STRING", name.encode()))
        text = self.text_window(wid)
        # The insertion point goes to the end, away from the first line.
        self.x.click(text["x"] + 20, text["y"] + text["h"] - 5)
        glyphs = self.glyphs_of_first_line(self.ink_rows(text))
        self.assertEqual(len(glyphs), len(samples), "one group of ink per character")
        placeholder = glyphs[-1]
        self.assertEqual(glyphs[-2], placeholder, "the missing glyph is drawn the same each time")
        for i, (char, glyph) in enumerate(zip(samples[:-2], glyphs)):
            self.assertNotEqual(glyph, placeholder, "%s is drawn as a glyph, not a placeholder" % char)
            for other, other_glyph in zip(samples[i + 1:-2], glyphs[i + 1:]):
                self.assertNotEqual(glyph, other_glyph, "%s and %s are different glyphs, not boxes" % (char, other))
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(), 0)
        self.assertEqual(self.read_note("note1"), saved_file, "an unchanged note is not rewritten")
        self.assertEqual(os.stat(os.path.join(self.note_dir, "note1")).st_mtime_ns, mtime)

    def test_latin1_note_file_shows_its_characters_and_keeps_its_encoding(self):
        latin1 = latin1_note("Grüße", "Grüße aus Köln\n", x=100, y=100, height=200, width=300)
        self.write_note("note1", latin1)
        # Mostly UTF-8 with one stray byte: shown as Latin-1 as a whole.
        mixed = note_file("Mixed", "café".encode() + b" \x96 ok", x=500, y=100, height=200, width=300)
        self.write_note("note2", mixed)
        paths = [os.path.join(self.note_dir, f) for f in ("note1", "note2")]
        mtimes = [os.stat(p).st_mtime_ns for p in paths]
        app = self.start("-sv", home=self.home)
        app.wait_ready()
        wid = self.x.wait_mapped("Grüße")
        self.x.wait_mapped("Mixed")
        self.assertEqual(self.property_bytes(wid, "_NET_WM_NAME"), ("UTF8_STRING", "Grüße".encode()))
        # The text as the note holds it: select its first word (two clicks)
        # and read the selection. (Export shows the rest.)
        text = self.text_window(wid)
        self.x.xdotool("mousemove", "--sync", text["x"] + 12, text["y"] + 8)
        self.x.xdotool("click", "--repeat", "2", "--delay", "80", 1)
        selection = wait_for(lambda: subprocess.run(["xclip", "-o", "-selection", "primary"], env=self.x.env,
                                                    capture_output=True).stdout, what="the selection")
        self.assertEqual(selection.decode(), "Grüße")

        # Save All Notes and the exit save leave unchanged notes alone.
        control = self.x.mapped_window("stikkel")
        choose_from_main_menu(self.x, control, "Save All Notes", raise_first=True)
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(), 0)
        self.assertEqual(self.read_note("note1"), latin1)
        self.assertEqual(self.read_note("note2"), mixed)
        self.assertEqual([os.stat(p).st_mtime_ns for p in paths], mtimes, "unchanged notes are not rewritten")

        # A changed text keeps the encoding its file held it in while its
        # characters allow (the typed ones are Latin-1 ones); so does the
        # unchanged name.
        app = self.start("-sv", home=self.home)
        wid = self.x.wait_mapped("Grüße")
        text = self.text_window(wid)
        self.x.click(text["x"] + 20, text["y"] + text["h"] - 5)
        self.x.xdotool("type", "--delay", "40", "ß!")
        sync_note(self.x, wid)  # the program has every key before the exit request
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(), 0)
        name, saved = split_note(self.read_note("note1"))
        self.assertEqual(name, "Grüße".encode("latin-1"))
        self.assertEqual(saved, "Grüße aus Köln\nß!".encode("latin-1"))
        self.assertEqual(self.read_note("note2"), mixed)

    def test_notes_not_typed_into_cost_no_input_method(self):
        """An input method costs each window that opens one about half a
        megabyte: a note opens its own only once it is typed into, so each
        note adds to the peak memory of a UTF-8 start-up about what it adds
        in the C locale (some 25 KiB), not 450 KiB."""
        def peak_kib(count):
            home, _ = home_with_notes(self.x.tmp, [("n%d" % i, 10 + i % 40 * 9, 10 + i % 30 * 9)
                                                   for i in range(count)])
            app = self.start(home=home)
            app.wait_ready()
            visible = lambda: len(self.x.run(["xdotool", "search", "--onlyvisible", "--classname", "^TackOnNote$"],
                                             check=False).split())
            wait_for(lambda: visible() == count, timeout=60, what="%d notes on screen" % count)
            with open("/proc/%d/status" % app.proc.pid) as f:
                hwm = int(re.search(r"VmHWM:\s+(\d+)", f.read()).group(1))
            app.stop()
            return hwm
        per_note = (peak_kib(220) - peak_kib(20)) / 200
        self.assertLess(per_note, 120, "KiB of peak memory per note")

    def test_export_print_and_email_write_utf8(self):
        work = os.path.join(self.x.tmp, "work")
        os.makedirs(work)
        mailer = os.path.join(work, "mailer")
        with open(mailer, "w") as f:
            f.write("#!/bin/sh\nprintf '%%s\\n' \"$@\" > '%s/args'\ncat > '%s/mailed'\n" % (work, work))
        os.chmod(mailer, stat.S_IRWXU)
        name = "Ελληνικά 日本語 🙂"
        self.write_note("note1", note_file(name, SAMPLE + "\n", x=100, y=100, height=200, width=400))
        self.write_note("note2", latin1_note("Köln", "Grüße aus Köln\n", x=600, y=100, height=200, width=300))
        app = self.start("-tmpdir", work, "-printcmd", "cp %s " + os.path.join(work, "printed"),
                         "-emailcmd", mailer + ' -s"%s" %s', home=self.home)
        app.wait_ready()
        wid = self.x.wait_mapped(name)
        latin1_wid = self.x.wait_mapped("Köln")

        # Export of the note read from a Latin-1 file: its characters in UTF-8.
        target = os.path.join(work, "exported.txt")
        self.choose(latin1_wid, "Export")
        window = self.x.wait_mapped("File Selection Window")
        lists, label, field, buttons = self.rows(window)
        self.type_into(field, target)
        self.x.xdotool("key", "Return")
        self.x.wait_unmapped("File Selection Window")
        wait_for(lambda: os.path.exists(target), what="the exported file")
        with open(target, "rb") as f:
            # Export adds a line break after the text.
            self.assertEqual(f.read(), "Grüße aus Köln\n\n".encode())

        printed = os.path.join(work, "printed")
        self.choose(wid, "Print")
        wait_for(lambda: os.path.exists(printed) and os.path.getsize(printed) > 0, what="the print command")
        with open(printed, "rb") as f:
            self.assertEqual(f.read(), (SAMPLE + "\n").encode())

        self.choose(wid, "EmailNote")
        dialog = self.x.wait_mapped("Email Note")
        label, field, accept, cancel = self.rows(dialog)[:4]
        self.type_into(field, "bob@example.org")
        self.x.xdotool("key", "Return")
        self.x.wait_unmapped("Email Note")
        args = os.path.join(work, "args")
        wait_for(lambda: os.path.exists(args) and os.path.getsize(args) > 0, what="the mail command")
        wait_for(lambda: not os.path.exists(os.path.join(work, "sk%d" % app.proc.pid)), what="the mail to go")
        with open(args, "rb") as f:
            self.assertEqual(f.read(), ("-s%s\nbob@example.org\n" % name).encode())
        with open(os.path.join(work, "mailed"), "rb") as f:
            self.assertEqual(f.read(), (SAMPLE + "\n").encode())
        self.assertIsNone(app.proc.poll())


def ink_of(rgb, w, h):
    """A window's pixels as rows of "#" (ink: any colour but the window's
    most common one) and "."."""
    pixels = [rgb[i:i + 3] for i in range(0, w * h * 3, 3)]
    background = max(set(pixels), key=pixels.count)
    return ["".join("." if pixels[y * w + x] == background else "#" for x in range(w)) for y in range(h)]


def shows(rows, glyph):
    """Whether the ink rows hold the glyph's ink (rows of "#" and ".") at
    some place."""
    for y in range(len(rows) - len(glyph) + 1):
        x = rows[y].find(glyph[0])
        while x >= 0:
            if all(rows[y + i][x:x + len(line)] == line for i, line in enumerate(glyph)):
                return True
            x = rows[y].find(glyph[0], x + 1)
    return False


def glyphs(rows):
    """The glyphs of ink rows, each trimmed to its ink: text lines are cut
    apart at blank rows, glyphs at blank runs of 6 columns or more."""
    h, w = len(rows), len(rows[0]) if rows else 0
    ink = [[c == "#" for c in row] for row in rows]
    found = []
    y = 0
    while y < h:
        if not any(ink[y]):
            y += 1
            continue
        top = y
        while y < h and any(ink[y]):
            y += 1
        band = ink[top:y]
        columns = [any(row[x] for row in band) for x in range(w)] + [False] * 6
        start, blank = None, 0
        for x, on in enumerate(columns):
            if on:
                start = x if start is None else start
                blank = 0
            elif start is not None:
                blank += 1
                if blank == 6:
                    cut = [row[start:x - 5] for row in band]
                    found.append(tuple("".join("#" if c else "." for c in r) for r in cut if any(r)))
                    start = None
    return found


class Utf8NamesTest(UnicodeTest):
    """The name of a note in the lists of notes and in its alarm reminder:
    drawn with the same glyphs as in the note's text."""
    LOCALE = "C.UTF-8"

    def ink(self, win):
        """The ink rows of a window (a dict of id, w and h)."""
        xwd = subprocess.run(["xwd", "-silent", "-nobdrs", "-id", str(win["id"])], env=self.x.env,
                             capture_output=True, check=True).stdout
        rgb = subprocess.run(["convert", "xwd:-", "-depth", "8", "rgb:-"], input=xwd,
                             capture_output=True, check=True).stdout
        self.assertEqual(len(rgb), win["w"] * win["h"] * 3)
        return ink_of(rgb, win["w"], win["h"])

    def shown_in(self, wid, glyph):
        """Whether a widget window of the top-level window wid shows glyph."""
        return any(shows(self.ink(win), glyph) for win in self.x.descendants(wid))

    def test_names_in_the_note_list_and_the_reminder_are_drawn_whole(self):
        name = "日   本"
        self.x.xdotool("mousemove", "--sync", 700, 500)
        now = this_minute_with_time_to_spare(15)
        # The text: the insertion point on an empty first line, the name on
        # the second.
        self.write_note("note1", note_file(name, "\n" + name, x=100, y=100, height=200, width=300,
                                           alarm=(1,) + now))
        # The note's text and the reminder drawn with the core fonts of the
        # other widgets, for glyphs to compare with theirs (by default both
        # are drawn with Xft).
        app = self.start("-xrm", "Kleebord*faceName:", home=self.home)
        app.wait_ready()
        wid = self.x.wait_mapped(name)
        reminder = self.x.wait_mapped("Stikkel Alarm")
        # The note's text shows two CJK glyphs after the insertion point,
        # different ones: no boxes.
        drawn = [g for g in glyphs(self.ink(self.text_window(wid))) if len(g) >= 12][-2:]
        self.assertEqual(len(drawn), 2, "two CJK glyphs in the note")
        self.assertNotEqual(drawn[0], drawn[1])
        for glyph in drawn:
            self.assertTrue(self.shown_in(reminder, glyph), "the reminder shows the name")

        rx, ry, rw, rh = self.x.geometry(reminder)
        self.x.click(rx + 20, ry + rh - 16)
        self.x.wait_unmapped("Stikkel Alarm")
        choose_from_main_menu(self.x, self.x.mapped_window("stikkel"), "Find A Note", raise_first=True)
        found = self.x.wait_mapped("Find A Note")
        for glyph in drawn:
            self.assertTrue(self.shown_in(found, glyph), "the note list shows the name")
        self.assertIsNone(app.proc.poll())

    def coloured(self, win):
        """The pixels of a window that only an emoji's colours give: golden
        yellow, far from black ink blended into the background (PeachPuff
        of dialogs, the note's pure yellow) and from the red of buttons."""
        xwd = subprocess.run(["xwd", "-silent", "-id", str(win)], env=self.x.env, capture_output=True,
                             check=True).stdout
        rgb = subprocess.run(["convert", "xwd:-", "-depth", "8", "rgb:-"], input=xwd,
                             capture_output=True, check=True).stdout
        return sum(1 for i in range(0, len(rgb), 3) if rgb[i] > 120 and rgb[i + 2] < rgb[i] * 0.45 and rgb[i] * 0.5 < rgb[i + 1] < rgb[i] - 40)

    def test_an_emoji_in_the_reminder_and_the_name_field_is_drawn_in_colour(self):
        name = "Party \U0001F600"
        self.x.xdotool("mousemove", "--sync", 700, 500)
        now = this_minute_with_time_to_spare(15)
        self.write_note("note1", note_file(name, "text", x=100, y=100, height=200, width=300, alarm=(1,) + now))
        app = self.start(home=self.home)
        app.wait_ready()
        wid = self.x.wait_mapped(name)
        reminder = self.x.wait_mapped("Stikkel Alarm")
        self.assertEqual(self.coloured(wid), 0, "nothing coloured but the emoji counts")
        wait_for(lambda: self.coloured(reminder) >= 50, what="the emoji in colour in the reminder")
        rx, ry, rw, rh = self.x.geometry(reminder)
        self.x.click(rx + 20, ry + rh - 16)
        self.x.wait_unmapped("Stikkel Alarm")

        self.choose(wid, "Name")
        dialog = self.x.wait_mapped("Name")
        label, field, confirm, cancel = self.rows(dialog)
        wait_for(lambda: self.coloured(field["id"]) >= 50, what="the emoji in colour in the Name field")
        # One line of the face: the emoji whole, no room for a second line.
        self.assertLess(field["h"], 2 * 20, "the field is one line tall: %r" % (field,))
        # A name longer than the field scrolls it sideways: the end, typed
        # last, is in view, the emoji at the start is not.
        self.x.click_center(field)
        self.x.xdotool("key", "End")
        self.x.xdotool("type", "--delay", "20", " and a long line that goes on past the end of the field")
        wait_for(lambda: self.coloured(field["id"]) == 0, what="the field to scroll past the emoji")
        self.x.xdotool("key", "Home")
        wait_for(lambda: self.coloured(field["id"]) >= 50, what="the field to scroll back to the emoji")
        self.x.click_center(confirm)
        self.x.wait_unmapped("Name")
        self.assertIsNone(app.proc.poll())


class CLocaleTitleTest(UnicodeTest):
    LOCALE = "C"

    def test_title_is_the_name_bytes_and_no_utf8_name_is_published(self):
        self.write_note("note1", latin1_note("Grüße", "text\n", x=100, y=100))
        self.write_note("note2", note_file("日本", "text\n", x=400, y=100))
        app = self.start(home=self.home)
        app.wait_ready()
        notes = lambda: [int(w) for w in self.x.run(["xdotool", "search", "--onlyvisible", "--classname",
                                                      "^TackOnNote$"], check=False).split()]
        wids = wait_for(lambda: len(notes()) == 2 and notes(), what="the two notes")
        titles = [self.property_bytes(wid, "WM_NAME") for wid in wids]
        self.assertEqual(sorted(titles), [("STRING", b"Gr\xfc\xdfe"), ("STRING", "日本".encode())])
        for wid in wids:
            self.assertEqual(self.property_bytes(wid, "_NET_WM_NAME"), (None, b""))
        self.assertIsNone(app.proc.poll())


if __name__ == "__main__":
    unittest.main()

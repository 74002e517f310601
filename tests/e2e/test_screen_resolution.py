"""Text that reads at any resolution. On a 3840x2160 screen at 192 dpi in a
UTF-8 locale a note's capitals, measured from its pixels, are at least 18
pixels tall, CJK characters as tall as Latin capitals, an emoji is drawn in
colour; the control window and the labels of the note's bar grow with the
dpi (Xvfb's own dpi, or Xft.dpi set as desktops set it). At 96 dpi in the C
locale a note and the control window look, pixel for pixel, as they always
have (the reference picture was made by the program before its text could
scale)."""

import os
import subprocess
import unittest

from e2e import E2ETest, HERE, XSession, make_note_dir, note_file, wait_for

LATIN = "HHHHH"
CJK = "\u65e5\u672c\u8a9e"
EMOJI = "\U0001F600"
TEXT = LATIN + "\n\n" + CJK + "\n\n" + EMOJI


def rgb_of(session, wid):
    """(width, height, bytes RGB) of a window's pixels."""
    xwd = subprocess.run(["xwd", "-id", str(wid), "-silent"], env=session.env, capture_output=True, check=True)
    size = subprocess.run(["convert", "xwd:-", "-format", "%w %h", "info:"], input=xwd.stdout,
                          capture_output=True, check=True).stdout.split()
    rgb = subprocess.run(["convert", "xwd:-", "-depth", "8", "rgb:-"], input=xwd.stdout,
                         capture_output=True, check=True).stdout
    return int(size[0]), int(size[1]), rgb


def bands(width, height, rgb, is_ink):
    """(first row, rows) of each run of rows holding ink, top to bottom,
    inside the window's border of one pixel."""
    runs, start = [], None
    for y in range(1, height - 1):
        row = rgb[3 * width * y:3 * width * (y + 1)]
        inked = any(is_ink(row[3 * x], row[3 * x + 1], row[3 * x + 2]) for x in range(1, width - 1))
        if inked and start is None:
            start = y
        elif not inked and start is not None:
            runs.append((start, y - start))
            start = None
    if start is not None:
        runs.append((start, height - 1 - start))
    return runs


class ScreenResolutionTest(E2ETest):
    def start_note(self, session, text=TEXT, args=()):
        home = os.path.join(session.tmp, "home")
        make_note_dir(home, [("note1", note_file("scaled", text, x=40, y=60, width=600, height=400,
                                                 screen=(2160, 3840)))])
        app = self.start(*args, session=session, home=home)
        app.wait_ready()
        return app, session.wait_mapped("scaled")

    def text_window(self, session, note):
        """The note's text widget: the largest window in its form."""
        return sorted(session.subwindows(note), key=lambda w: w["w"] * w["h"])[-2]

    def bar_button_height(self, session, note):
        """Height of the note bar's "File" button: the widest window of the bar's height."""
        text = self.text_window(session, note)
        bar = [w for w in session.subwindows(note) if w["y"] < text["y"] and w["h"] < text["h"]]
        return max(w["h"] for w in bar)

    def measure(self, session, note):
        text = self.text_window(session, note)
        w, h, rgb = rgb_of(session, text["id"])
        # The text is black on yellow: dark pixels are ink; colour that is not
        # a shade between the two (red unlike green) is the emoji's.
        dark = bands(w, h, rgb, lambda r, g, b: r < 128 and g < 128)
        coloured = sum(1 for i in range(0, len(rgb), 3) if abs(rgb[i] - rgb[i + 1]) > 40)
        return dark, coloured

    def check_large(self, session, args=()):
        # No caret over the capitals.
        app, note = self.start_note(session, args=args + ("-xrm", "*TackOnNote*NoteText.displayCaret: false"))
        dark, coloured = wait_for(lambda: (lambda m: m if len(m[0]) >= 3 else None)(self.measure(session, note)),
                                  what="the note's text drawn")
        capitals, cjk = dark[0][1], dark[1][1]
        self.assertGreaterEqual(capitals, 18, "capitals %d px tall at 192 dpi" % capitals)
        self.assertGreaterEqual(cjk, capitals, "CJK %d px against capitals of %d px" % (cjk, capitals))
        self.assertGreaterEqual(coloured, 50, "the emoji has %d coloured pixels" % coloured)
        control = session.geometry(session.mapped_window("stikkel"))
        self.assertGreaterEqual(min(control[2], control[3]), 120, "control window %r" % (control,))
        button = self.bar_button_height(session, note)
        app.stop()
        return button

    def test_text_and_widgets_scale_at_192_dpi(self):
        small = XSession(locale="C.UTF-8", screen="1920x1080x24", dpi=96)
        try:
            _, note = self.start_note(small)
            normal = self.bar_button_height(small, note)
        finally:
            for app in self.apps:
                app.stop()
            self.apps = []
            small.close()
        for how, session, args in [
                ("the screen at 192 dpi", XSession(locale="C.UTF-8", screen="3840x2160x24", dpi=192), ()),
                ("Xft.dpi 192 on a 96-dpi screen", XSession(locale="C.UTF-8", screen="3840x2160x24", dpi=96),
                 ("-xrm", "Xft.dpi: 192"))]:
            with self.subTest(how):
                try:
                    large = self.check_large(session, args)
                    self.assertGreaterEqual(large, normal * 1.6, "the bar's labels: %d px against %d px at 96 dpi"
                                            % (large, normal))
                finally:
                    session.close()

    def test_c_locale_at_96_dpi_looks_as_before(self):
        app, note = self.start_note(self.x, text="Hello, note.\n\tTabbed\nlast line")
        self.x.xdotool("mousemove", 5, 1070)
        wait_for(lambda: self.measure(self.x, note)[0], what="the note's text drawn")
        for what, wid in [("note", note), ("control", self.x.mapped_window("stikkel"))]:
            reference = os.path.join(HERE, "data", "%s_c_96dpi.png" % what)
            shot = os.path.join(self.x.tmp, what + ".png")
            w, h, rgb = rgb_of(self.x, wid)
            subprocess.run(["convert", "-size", "%dx%d" % (w, h), "-depth", "8", "rgb:-", shot], input=rgb,
                           check=True)
            if os.environ.get("STIKKEL_MAKE_REFERENCE"):
                os.makedirs(os.path.dirname(reference), exist_ok=True)
                subprocess.run(["convert", shot, reference], check=True)
            ref = subprocess.run(["convert", reference, "-depth", "8", "rgb:-"], capture_output=True,
                                 check=True).stdout
            self.assertEqual(len(ref), len(rgb), "the %s's size changed" % what)
            self.assertTrue(ref == rgb, "the %s's pixels differ from the reference; see %s" % (what, shot))

if __name__ == "__main__":
    unittest.main()

"""Keys reach the note that has the keyboard focus wherever the pointer is:
under openbox (click to focus), under twm and with no window manager at all
(the focus set on the note's window by another client)."""

import os
import subprocess
import time
import unittest

from e2e import E2ETest, make_note_dir, note_file, wait_for


def start_openbox(session):
    """openbox on the session's display, ready once it has named itself on
    the root window (_NET_SUPPORTING_WM_CHECK)."""
    with open(os.path.join(session.tmp, "openbox.log"), "wb") as log:
        wm = subprocess.Popen(["openbox", "--sm-disable"], env=session.env, stdout=subprocess.DEVNULL, stderr=log)
    wait_for(lambda: wm.poll() is not None or
             "_NET_SUPPORTING_WM_CHECK(WINDOW)" in session.run(["xprop", "-root"], check=False),
             timeout=15, what="openbox")
    if wm.poll() is not None:
        raise AssertionError("openbox did not start")
    # It names itself before it takes its first requests: a window mapped
    # at once can be left unmanaged (seen: one start in three).
    time.sleep(1.0)
    session.twm = wm  # the session ends it with the server
    return wm


def recovered_text(app):
    """The text of note1 in the recovery journal, or None."""
    try:
        with open(os.path.join(app.note_dir, ".recovery", "note1"), "rb") as f:
            return f.read().split(b"\n", 2)[2]
    except (OSError, IndexError):
        return None


class FocusTest(E2ETest):
    WM = False  # each test starts the window manager it is about

    def start_note(self):
        home = os.path.join(self.x.tmp, "home")
        make_note_dir(home, {"note1": note_file("Focus", "", x=300, y=200, width=400, height=200)})
        app = self.start(home=home)
        app.wait_ready()
        note = self.x.wait_mapped("Focus")
        return app, note

    def places(self, note):
        """Where the pointer goes: on the title bar (above the client
        window, inside the window manager's frame, when there is one), on
        the bar of the note (right of its Notes button) and off every
        window."""
        x, y, w, h = self.x.geometry(note)
        fx, fy, _, _ = self.x.geometry(self.x.outer_window(note))
        places = [("MENUBAR", (x + w - 8, y + 6)), ("OUTSIDE", (1500, 900))]
        if fy < y - 6:
            places.insert(0, ("TITLEBAR", (x + w // 2, fy + (y - fy) // 2)))
        return places

    def type_at(self, app, note, places, expected=b""):
        for word, (px, py) in places:
            self.x.xdotool("mousemove", "--sync", px, py)
            # The keys go where the focus is: the note's window, once the
            # window manager (twm: on entry) has given it.
            wait_for(lambda: self.x.run(["xdotool", "getwindowfocus"], check=False).strip() == str(note),
                     timeout=10, what="the focus on the note with the pointer at " + word)
            self.x.xdotool("type", "--delay", "15", word)
            expected += word.encode()
            wait_for(lambda: recovered_text(app) == expected, timeout=10,
                     what="%r typed with the pointer there to reach the note (journal: %r)"
                     % (word, recovered_text(app)))
        self.assertIsNone(app.proc.poll())

    def test_click_to_focus_window_manager(self):
        start_openbox(self.x)
        app, note = self.start_note()
        # The window manager hands the focus over as Alt+Tab does.
        self.x.xdotool("windowactivate", "--sync", note)
        self.type_at(app, note, self.places(note))

    def test_twm(self):
        self.x.start_wm()
        app, note = self.start_note()
        # twm gives the focus to the window the pointer is in: the title bar
        # and the bar of the note, not the desktop.
        self.type_at(app, note, [p for p in self.places(note) if p[0] != "OUTSIDE"])

    def test_no_window_manager(self):
        app, note = self.start_note()
        self.x.xdotool("windowfocus", "--sync", note)
        self.type_at(app, note, [p for p in self.places(note) if p[0] != "TITLEBAR"])


if __name__ == "__main__":
    unittest.main()

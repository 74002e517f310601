"""Windows stay on the screen and where they were: pop-ups opened at the
pointer by the control window at the top right lie wholly on the screen,
frame included; Find A Note brings a visible note to the pointer whole; a
hidden note comes back exactly where it stood. Under twm with title bars,
under twm without them, and with no window manager."""

import os
import re
import signal
import tempfile
import unittest

from e2e import E2ETest, SOURCE_DIR, make_note_dir, note_file, wait_for
from faults import parse_note, type_into_note
import test_control_window
import test_note_commands

SCREEN = (1920, 1080)


class OnScreenTest(E2ETest):

    # The main menu on the control window, and a note's Notes menu.
    control_center = test_control_window.ControlWindowTest.control_center
    open_menu = test_control_window.ControlWindowTest.open_menu
    choose = test_control_window.ControlWindowTest.choose
    bar_button = test_note_commands.NoteCommandsTest.bar_button

    def start_with_notes(self, notes=(), args=()):
        """Starts stikkel with note files (name, x, y, width, height)."""
        self.home = tempfile.mkdtemp(prefix="stikkel-home-", dir=self.x.tmp)
        make_note_dir(self.home, [("note%d" % i, note_file(name, "text of " + name, x=x, y=y, width=width,
                                                           height=height))
                                  for i, (name, x, y, width, height) in enumerate(notes, 1)])
        app = self.start(*args, home=self.home)
        app.wait_ready()
        self.control = self.x.mapped_window("stikkel")
        return app, [self.x.wait_mapped(n[0]) for n in notes]

    def frame_box(self, wid):
        """left, top, right, bottom (one past) of a window's outermost window,
        border included."""
        frame = self.x.outer_window(wid)
        x, y, w, h = self.x.geometry(frame)
        border = int(re.search(r"Border width: (\d+)", self.x.window_info(frame)).group(1))
        return x, y, x + w + 2 * border, y + h + 2 * border

    def assert_on_screen(self, box, what):
        left, top, right, bottom = box
        self.assertTrue(0 <= left and 0 <= top and right <= SCREEN[0] and bottom <= SCREEN[1],
                        "%s at %r is not wholly on the %dx%d screen" % ((what, box) + SCREEN))

    def popup_from_control_window(self, entry, title):
        """Chooses a main menu entry with the pointer on the control window;
        returns the window it opens and its frame."""
        self.choose(entry)
        wid = self.x.wait_mapped(title)
        box = wait_for(lambda: self.settled_frame(wid), what="%r placed by the window manager" % title)
        return wid, box

    def settled_frame(self, wid):
        box = self.frame_box(wid)
        return box if box == self.frame_box(wid) else None

    def choose_from_list(self, title, button):
        """Presses the button-th name of the open note list."""
        find = self.x.wait_mapped(title)
        # FindShell > FindForm > FindViewport > clip > FindViewForm > FindButton
        buttons = sorted((d for d in self.x.descendants(find) if d["depth"] == 5), key=lambda d: d["y"])
        b = buttons[button]
        self.x.click(b["x"] + b["w"] // 2, b["y"] + b["h"] // 2)
        self.x.wait_unmapped(title)

    def hide(self, wid):
        self.x.choose_from_menu(self.bar_button(wid, 1), test_note_commands.NOTES_MENU, "Hide")
        wait_for(lambda: self.x.mapped_window(self.x.wm_name(wid)) is None, what="the note to hide")

    def test_note_list_from_the_control_window_shows_every_name_whole(self):
        names = ["Groceries", "N", "Dentist on Tuesday"]
        self.start_with_notes([(name, 100 + 300 * i, 300, 227, 169) for i, name in enumerate(names)])
        find, box = self.popup_from_control_window("Find A Note", "Find A Note")
        shot = self.x.screenshot("note_list_from_control_window-%s.png" % type(self).__name__)
        self.assert_on_screen(box, "the note list")
        self.assertEqual(box[2], SCREEN[0], "moved left just enough, as Athena's menus are")
        buttons = sorted((d for d in self.x.descendants(find) if d["depth"] == 5), key=lambda d: d["y"])
        self.assertEqual(len(buttons), 3)
        for b in buttons:
            self.assert_on_screen((b["x"], b["y"], b["x"] + b["w"], b["y"] + b["h"]), "a name's button")
        # The picture shows the list window's right border in the screen's
        # last column, and the plaid control window beside the list.
        border = self.x.pixel(shot, SCREEN[0] - 1, box[1] + 10)
        inside = self.x.pixel(shot, buttons[0]["x"] + buttons[0]["w"] - 2, buttons[0]["y"] + buttons[0]["h"] // 2)
        self.assertNotEqual(border, inside)
        self.choose_from_list("Find A Note", 0)

    def test_error_and_save_prompt_from_the_control_window_lie_on_screen(self):
        _, (wid,) = self.start_with_notes([("Changed", 100, 300, 227, 169)])
        error, box = self.popup_from_control_window("Cascade Notes", "Stikkel Error")
        self.assert_on_screen(box, "the error popup")
        self.assertEqual(box[2], SCREEN[0])
        self.x.screenshot("error_from_control_window-%s.png" % type(self).__name__)
        # A changed note, so that Exit asks first.
        type_into_note(self.x, wid, "x")
        _, box = self.popup_from_control_window("Exit", "Save Notes Prompt")
        self.assert_on_screen(box, "the save prompt")
        self.assertEqual(box[2], SCREEN[0])

    def test_find_brings_a_visible_note_to_the_pointer_whole(self):
        app, (wid,) = self.start_with_notes([("Groceries", 300, 200, 480, 288)], args=("-sv",))
        width = self.frame_box(wid)[2] - self.frame_box(wid)[0]
        self.choose("Find A Note")
        self.choose_from_list("Find A Note", 0)
        _, py = self.x.pointer()
        expected = (SCREEN[0] - width, py)
        box = wait_for(lambda: (lambda b: b if b[:2] == expected else None)(self.frame_box(wid)),
                       what="the note flush with the right edge at the pointer's height, not %r"
                       % (self.frame_box(wid),))
        self.assert_on_screen(box, "the note")
        # What the note records is where its frame stands: a save writes it.
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(), 0)
        stored = parse_note(app.note_files()["note1"])
        self.assertEqual((stored["x"], stored["y"]), expected)

    def test_hide_then_unhide_brings_a_note_back_exactly(self):
        _, (loaded,) = self.start_with_notes([("Loaded", 300, 200, 227, 169)])
        self.choose("Create 2x3 Note")
        created = self.x.wait_mapped("Note 2")
        # The user moves the loaded note (the window manager's frame follows).
        self.x.xdotool("windowmove", loaded, 655, 433)
        wait_for(lambda: self.frame_box(loaded)[:2] != (300, 200), what="the note to move")
        for wid in (created, loaded):
            place = wait_for(lambda: self.settled_frame(wid), what="the note to settle")
            name = self.x.wm_name(wid)
            for way in ("Unhide All Notes", "Unhide All Notes", "Hidden Notes", "Unhide All Notes"):
                self.hide(wid)
                self.choose(way)
                if way == "Hidden Notes":
                    self.choose_from_list("Hidden Notes", 0)
                self.x.wait_mapped(name)
                self.assertEqual(wait_for(lambda: self.settled_frame(wid)), place,
                                 "%s back after %s" % (name, way))


class HiddenStateSavedTest(E2ETest):
    """The note file keeps the hidden state the user left: hiding and
    unhiding alone are written by Save All Notes and at exit."""

    control_center = OnScreenTest.control_center
    open_menu = OnScreenTest.open_menu
    choose = OnScreenTest.choose
    bar_button = OnScreenTest.bar_button
    start_with_notes = OnScreenTest.start_with_notes
    choose_from_list = OnScreenTest.choose_from_list
    hide = OnScreenTest.hide

    def hidden_in_file(self, app, name):
        return parse_note(app.note_files()[name])["hidden"]

    def test_hide_and_unhide_are_saved(self):
        home = tempfile.mkdtemp(prefix="stikkel-home-", dir=self.x.tmp)
        note_dir = make_note_dir(home, {"note1": note_file("Shown", "milk", x=100, y=300),
                                        "note2": note_file("Secret", "pin", x=500, y=300, hidden=1)})
        app = self.start("-sv", home=home)
        app.wait_ready()
        self.control = self.x.mapped_window("stikkel")
        self.hide(self.x.wait_mapped("Shown"))
        self.choose("Save All Notes")
        wait_for(lambda: self.hidden_in_file(app, "note1") == 1, what="Save All Notes to write the hidden flag")
        self.assertEqual(self.hidden_in_file(app, "note2"), 1)
        # Both back, then the first hidden again: the exit writes what changed.
        self.choose("Unhide All Notes")
        self.x.wait_mapped("Secret")
        self.hide(self.x.wait_mapped("Shown"))
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(), 0)
        self.assertEqual((self.hidden_in_file(app, "note1"), self.hidden_in_file(app, "note2")), (1, 0))

        app = self.start("-sv", home=home)
        app.wait_ready()
        self.x.wait_mapped("Secret")
        self.assertIsNone(self.x.mapped_window("Shown"), "hidden when the program ended, hidden at the start")


class OnScreenWithoutTitleBarsTest(OnScreenTest):
    TWMRC = os.path.join(SOURCE_DIR, "tests", "support", "twmrc-notitle")

    def test_note_list_from_the_control_window_shows_every_name_whole(self):
        pass

    def test_error_and_save_prompt_from_the_control_window_lie_on_screen(self):
        pass


class OnScreenWithoutWindowManagerTest(OnScreenTest):
    WM = False

    def test_error_and_save_prompt_from_the_control_window_lie_on_screen(self):
        pass


if __name__ == "__main__":
    unittest.main()

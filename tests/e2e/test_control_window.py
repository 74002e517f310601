"""The control window and the main menu: the plaid square at the top right,
raising and lowering all notes with buttons 1 and 2, the main menu on
button 3, sized notes, the note list and exit."""

import re
import unittest

from e2e import ENTRIES, E2ETest, MainMenu, TWMRC_DELETE, home_with_notes, wait_for
from faults import type_into_note


def pixels_per_inch(pixels, millimetres):
    return int(pixels * 25.4 / millimetres + 0.5)


class ControlWindowTest(E2ETest):

    def start_with_notes(self, notes=()):
        """Starts stikkel with note files (name, x, y) in its note directory."""
        home, _ = home_with_notes(self.x.tmp, notes)
        app = self.start(home=home)
        app.wait_ready()
        self.assertIsNone(app.proc.poll(), app.stderr())
        self.control = self.x.mapped_window("stikkel")
        return app, [self.x.wait_mapped(name) for name, _, _ in notes]

    def control_center(self):
        x, y, w, h = self.x.geometry(self.control)
        return x + w // 2, y + h // 2

    def open_menu(self):
        """Presses button 3 on the control window and waits for the menu."""
        before = self.x.viewable_overrides()
        self.x.xdotool("mousemove", "--sync", *self.control_center())
        self.x.xdotool("mousedown", 3)
        self.menu_window = self.x.wait_new_override(before)
        menu = MainMenu(*self.x.geometry(self.menu_window))
        self.assertTrue(menu.exact, "menu of %d pixels is not %d entries and 2 lines" % (menu.h, ENTRIES))
        return menu

    def choose(self, label):
        menu = self.open_menu()
        self.x.xdotool("mousemove", "--sync", *menu.row_center(label))
        self.x.xdotool("mouseup", 3)
        wait_for(lambda: not self.x.is_viewable_override(self.menu_window), what="the menu to go")

    def test_plaid_square_at_top_right(self):
        self.start_with_notes()
        x, y, w, h = self.x.geometry(self.control)
        self.assertEqual((w, h), (70, 70))
        frame = self.x.outer_window(self.control)
        frame_x, frame_y, frame_w, _ = self.x.geometry(frame)
        border = int(re.search(r"Border width: (\d+)", self.x.window_info(frame)).group(1))
        # The frame's outer right edge meets the screen's, its top the top.
        self.assertEqual(frame_x + frame_w + 2 * border, 1920)
        self.assertEqual(frame_y, 0)
        plaid = [d for d in self.x.descendants(self.control) if d["depth"] == 1]
        self.assertEqual([(d["x"], d["y"], d["w"], d["h"]) for d in plaid], [(x, y, 70, 70)])
        shot = self.x.screenshot("control_window.png")
        # Row 0 of the tile begins 1, 0, 1, 0 (0x75, least significant bit
        # first); rows repeat every 22 pixels.
        black, coral = "#000000", "#FF7F50"
        self.assertEqual([self.x.pixel(shot, x + i, y) for i in range(4)], [black, coral, black, coral])
        self.assertEqual([self.x.pixel(shot, x + 22 + i, y + 22) for i in range(4)],
                         [black, coral, black, coral])
        # Row 11 (0x20, 0xa8, 0x2b) has its first 1 bit in column 5.
        self.assertEqual([self.x.pixel(shot, x + i, y + 11) for i in range(6)],
                         [coral] * 5 + [black])

    def test_button_3_menu_at_pointer_and_a_3x5_note(self):
        self.start_with_notes()
        menu = self.open_menu()
        px, py = self.x.pointer()
        self.x.screenshot("main_menu.png")
        self.assertTrue(menu.x <= px < menu.x + menu.w and menu.y <= py < menu.y + menu.row_height,
                        "pointer %r on the title of menu %r" % ((px, py), vars(menu)))
        self.assertLessEqual(menu.x + menu.w, 1920, "the menu stays on the screen")
        self.x.xdotool("mousemove", "--sync", *menu.row_center("Create 3x5 Note"))
        self.x.xdotool("mouseup", 3)
        note = self.x.wait_mapped("Note 1")
        width_px, height_px, width_mm, height_mm = self.x.screen_size()
        expected = (5 * pixels_per_inch(width_px, width_mm), 3 * pixels_per_inch(height_px, height_mm))
        self.assertEqual(expected, (480, 288))
        sizes = [(d["w"], d["h"]) for d in self.x.descendants(note)]
        self.assertIn(expected, sizes, "the note's text is 3 by 5 inches")

    def test_buttons_1_and_2_restack_the_notes(self):
        self.start_with_notes()
        notes = []
        for name in ("Note 1", "Note 2", "Note 3"):  # the list order
            self.choose("Create 1.5x2 Note")
            notes.append(self.x.wait_mapped(name))
        cx, cy = self.control_center()
        self.x.click(cx, cy, button=2)
        wait_for(lambda: self.x.stacking(notes) == notes[::-1], what="the last note lowest")
        self.x.click(cx, cy, button=1)
        wait_for(lambda: self.x.stacking(notes) == notes, what="the last note on top")

    def test_find_a_note_without_notes_says_so(self):
        self.start_with_notes()
        self.choose("Find A Note")
        error = self.x.wait_mapped("Stikkel Error")
        self.assertIsNone(self.x.mapped_window("Find A Note"))
        # The error popup sits at the pointer (its text is checked in the X
        # tests), moved left just enough to lie wholly on the screen.
        px, py = self.x.pointer()
        frame = self.x.outer_window(error)
        ex, ey, ew, _ = self.x.geometry(frame)
        border = int(re.search(r"Border width: (\d+)", self.x.window_info(frame)).group(1))
        self.assertEqual((ex, ey), (min(px, 1920 - ew - 2 * border), py))

    def test_choosing_a_visible_note_moves_it_to_the_pointer(self):
        self.start_with_notes()
        notes = []
        for name in ("Note 1", "Note 2"):
            self.choose("Create 2x3 Note")
            notes.append(self.x.wait_mapped(name))
        first, second = notes
        self.assertEqual(self.x.stacking(notes), notes)
        self.choose("Find A Note")
        find = self.x.wait_mapped("Find A Note")
        # FindShell > FindForm > FindViewport > clip > FindViewForm > FindButton
        buttons = sorted((d for d in self.x.descendants(find) if d["depth"] == 5), key=lambda d: d["y"])
        self.assertEqual(len(buttons), 2)
        self.assertEqual(buttons[0]["w"], buttons[1]["w"])
        first_button = buttons[0]  # Note 1, the lower one
        self.x.click(first_button["x"] + 20, first_button["y"] + first_button["h"] // 2)
        self.x.wait_unmapped("Find A Note")
        px, py = self.x.pointer()

        def at_pointer():
            # The frame's outer corner at the pointer, as far as the note
            # stays wholly on the screen.
            frame = self.x.outer_window(first)
            fx, fy, fw, _ = self.x.geometry(frame)
            border = int(re.search(r"Border width: (\d+)", self.x.window_info(frame)).group(1))
            return (fx, fy) == (min(px, 1920 - fw - 2 * border), py)
        wait_for(at_pointer, what="the note at the pointer")
        wait_for(lambda: self.x.stacking([first, second]) == [second, first], what="the note on top")

    def test_exit_puts_up_the_save_prompt(self):
        # With nothing to save Exit ends the program at once.
        app, _ = self.start_with_notes([("Plain", 100, 120)])
        self.choose("Exit")
        self.assertEqual(app.wait_exit(timeout=20), 0)
        self.assertIsNone(self.x.mapped_window("Save Notes Prompt"))
        self.x.wait_unmapped("stikkel")
        # A changed note: the prompt asks first.
        app, (wid,) = self.start_with_notes([("Plain", 100, 120)])
        type_into_note(self.x, wid, "x")
        self.choose("Exit")
        self.x.wait_mapped("Save Notes Prompt")
        self.assertIsNone(app.proc.poll())


class ControlWindowCloseTest(E2ETest):
    """The window manager's close button on the control window asks to end
    the program, as Exit does."""

    TWMRC = TWMRC_DELETE

    def close_control_window(self):
        self.x.wm_delete(self.x.mapped_window("stikkel"))

    def test_close_button_asks_to_exit(self):
        home, _ = home_with_notes(self.x.tmp, [("Kept", 100, 120)])
        # Nothing to save: it ends at once.
        app = self.start(home=home)
        app.wait_ready()
        self.x.wait_mapped("Kept")
        self.close_control_window()
        self.assertEqual(app.wait_exit(timeout=20), 0)
        self.assertIsNone(self.x.mapped_window("Save Notes Prompt"))
        self.x.wait_unmapped("stikkel")
        # A changed note: the prompt asks first.
        app = self.start(home=home)
        app.wait_ready()
        type_into_note(self.x, self.x.wait_mapped("Kept"), "x")
        self.close_control_window()
        self.x.wait_mapped("Save Notes Prompt")
        self.assertIsNone(app.proc.poll())
        self.assertIsNotNone(self.x.mapped_window("stikkel"))


if __name__ == "__main__":
    unittest.main()

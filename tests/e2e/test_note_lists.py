"""The note lists (Hidden Notes, Find A Note) with real input: names in
numeric-aware order, the wheel scrolls the list, typing a name's first
letters moves there and Return chooses it."""

import os
import unittest

from e2e import E2ETest, choose_from_main_menu, make_note_dir, note_file, wait_for


class NoteListsTest(E2ETest):

    def open_list(self):
        choose_from_main_menu(self.x, self.x.mapped_window("stikkel"), "Hidden Notes")
        window = self.x.wait_mapped("Hidden Notes")
        # FindShell > FindForm > FindViewport > clip > FindViewForm > FindButton
        parts = self.x.descendants(window)
        clip = next(d for d in parts if d["depth"] == 3 and d["h"] > 60)
        wait_for(lambda: self.x.geometry(window)[1] > 0, what="the list placed")
        return window, clip

    def top_button(self, window, clip):
        """The highest button wholly in view."""
        parts = self.x.descendants(window)
        buttons = [d for d in parts if d["depth"] == 5 and d["y"] >= clip["y"]]
        return min(buttons, key=lambda d: d["y"])

    def test_order_wheel_and_type_ahead(self):
        # Written in no order; "Task 10" comes after "Task 9" by name.
        numbers = [21, 7, 8, 1, 30, 2, 19, 3, 10, 4, 9, 5, 6, 11, 12, 13, 14, 15, 16, 17, 18, 20, 22, 23, 24,
                   25, 26, 27, 28, 29]
        names = ["Task %d" % n for n in numbers] + ["Yak", "Zebra"]
        home = os.path.join(self.x.tmp, "home")
        make_note_dir(home, [("note%d" % i, note_file(name, "text", x=40 + 10 * i, y=60, hidden=1))
                             for i, name in enumerate(names, 1)])
        app = self.start("-interval", "60", home=home)
        app.wait_ready()

        # The top row is the lowest number.
        window, clip = self.open_list()
        top = self.top_button(window, clip)
        self.x.click(top["x"] + 20, top["y"] + top["h"] // 2)
        self.x.wait_mapped("Task 1")
        self.x.wait_unmapped("Hidden Notes")

        # Two steps of the wheel move six rows: Task 2 ... Task 7 go by.
        window, clip = self.open_list()
        top = self.top_button(window, clip)
        self.x.xdotool("mousemove", "--sync", top["x"] + 20, top["y"] + top["h"] // 2)
        self.x.xdotool("click", "5")
        self.x.xdotool("click", "5")
        wait_for(lambda: self.top_button(window, clip)["id"] != top["id"], what="the list scrolled")
        top = self.top_button(window, clip)
        self.x.click(top["x"] + 20, top["y"] + top["h"] // 2)
        self.x.wait_mapped("Task 8")
        self.x.wait_unmapped("Hidden Notes")

        # Typing "ya" moves to Yak; Return chooses it.
        window, clip = self.open_list()
        x, y, w, h = self.x.geometry(window)
        self.x.xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
        self.x.xdotool("type", "--delay", "50", "ya")
        self.x.xdotool("key", "Return")
        self.x.wait_mapped("Yak")
        self.x.wait_unmapped("Hidden Notes")
        self.assertIsNone(self.x.mapped_window("Zebra"))
        self.assertIsNone(app.proc.poll())


if __name__ == "__main__":
    unittest.main()

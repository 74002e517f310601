"""Alarms end to end: reminders at start-up, and an alarm set, saved,
loaded and disarmed through the note's menus with real input."""

import os
import re
import signal
import time
import unittest

from e2e import E2ETest, note_file, wait_for
from faults import type_into_note

LIBFAKETIME = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"

REMINDER = "Stikkel Alarm"
SETUP = "Alarms Setup"

# Where things stand in the note window's bar and the Alarms Setup dialog
# with the fallback resources (client-window coordinates).
FILE_BUTTON = (18, 8)
NOTES_BUTTON = (60, 8)
MONTH_UP = (116, 14)
DAY_UP = (116, 48)
MINUTE_DOWN = (62, 115)
ACCEPT = (35, 151)


def this_minute_with_time_to_spare(spare=20):
    """The local (month 0-11, day, hour, minute), taken when at least
    `spare` seconds of the minute are left."""
    wait_for(lambda: time.localtime().tm_sec < 60 - spare, timeout=spare + 5, interval=0.2,
             what="a fresh minute")
    t = time.localtime()
    return (t.tm_mon - 1, t.tm_mday, t.tm_hour, t.tm_min)


# Days of each month, January first; February always has 29.
DAYS_IN_MONTH = [31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31]


def next_minute(t):
    """The local (month 0-11, day, hour, minute) of the minute after the
    one holding t: where the Alarms Setup dialog starts."""
    n = time.localtime((int(t) // 60 + 1) * 60)
    return (n.tm_mon - 1, n.tm_mday, n.tm_hour, n.tm_min)


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def header_numbers(data):
    first = data.split(b"\n", 1)[0].decode()
    return [int(n) for n in first.split()[1:]]


class AlarmsTest(E2ETest):

    def write_note(self, note_dir, file_name, name, **kw):
        os.makedirs(note_dir, exist_ok=True)
        with open(os.path.join(note_dir, file_name), "wb") as f:
            f.write(note_file(name, "text of " + name, **kw))

    def mapped_windows(self, name):
        out = self.x.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % re.escape(name)],
                         check=False)
        return [int(w) for w in out.split()]

    def pick_from_menu(self, note, button, entry_index, lines_above):
        """Presses a menu button of the note window with button 1, moves to
        an entry and releases there. entry_index counts the text entries
        from the menu's title (0); lines_above is the number of separator
        lines above the entry."""
        x, y, _, _ = self.x.geometry(note)
        self.x.xdotool("mousemove", "--sync", x + button[0], y + button[1])
        self.x.xdotool("mousedown", "1")
        menu = wait_for(lambda: self.menu_below(x + button[0], y), what="the menu")
        mx, my, mw, mh = menu
        # Every text entry has one height; each separator line is 1 pixel.
        total_lines = 3 if button == NOTES_BUTTON else 1
        entries = 11 if button == NOTES_BUTTON else 6
        h = (mh - total_lines) // entries
        ey = my + entry_index * h + lines_above + h // 2
        self.x.xdotool("mousemove", "--sync", mx + mw // 2, ey)
        self.x.xdotool("mouseup", "1")
        wait_for(lambda: self.menu_below(x + button[0], y) is None, what="the menu to go")

    def menu_below(self, px, note_y):
        """Geometry of a viewable menu (override-redirect child of the root)
        that holds the x coordinate px and starts below note_y."""
        out = self.x.run(["xwininfo", "-root", "-children"], check=False)
        for m in re.finditer(r"^\s+(0x[0-9a-f]+) .*?(\d+)x(\d+)\+(-?\d+)\+(-?\d+)\s+\+(-?\d+)\+(-?\d+)$",
                             out, re.M):
            wid = m.group(1)
            w, h, ax, ay = int(m.group(2)), int(m.group(3)), int(m.group(6)), int(m.group(7))
            if not (ax <= px < ax + w and note_y < ay < note_y + 40 and h > 60):
                continue
            info = self.x.run(["xwininfo", "-id", wid], check=False)
            if "IsViewable" in info and "Override Redirect State: yes" in info:
                return ax, ay, w, h
        return None

    def test_reminder_pops_up_for_the_current_minute_hidden_notes_too(self):
        home = os.path.join(self.x.tmp, "home")
        note_dir = os.path.join(home, ".tackonnotes")
        os.makedirs(home)
        self.x.xdotool("mousemove", "--sync", 700, 500)
        for attempt in range(2):
            now = this_minute_with_time_to_spare()
            self.write_note(note_dir, "note1", "Dentist", alarm=(1,) + now)
            self.write_note(note_dir, "note2", "Hidden", hidden=1, x=300, alarm=(1,) + now)
            self.write_note(note_dir, "note3", "Not armed", x=500, alarm=(0,) + now)
            self.write_note(note_dir, "note4", "Tomorrow", x=700,
                            alarm=(1, now[0], now[1] % 28 + 1, now[2], now[3]))
            app = self.start(home=home, note_dir=note_dir)
            self.x.wait_mapped("Dentist")
            try:
                wait_for(lambda: len(self.mapped_windows(REMINDER)) == 2, timeout=10, what="two reminders")
                break
            except AssertionError:
                # The minute may have turned during start-up on a slow
                # machine: try once more with the next one.
                app.stop()
                if attempt == 1 or now == this_minute_with_time_to_spare(0)[:4]:
                    raise
        reminders = self.mapped_windows(REMINDER)
        self.x.screenshot("alarm_reminders.png")
        for wid in reminders:
            self.assertEqual(self.x.wm_name(wid), REMINDER)
            rx, ry, rw, rh = self.x.geometry(wid)
            # At the pointer (a decorated transient sits below its title).
            self.assertTrue(700 <= rx <= 712 and 500 <= ry <= 535, (rx, ry))
        self.assertIsNone(self.x.mapped_window("Hidden"))
        self.assertIsNone(app.proc.poll())

        # OK dismisses one of them.
        rx, ry, rw, rh = self.x.geometry(reminders[0])
        self.x.click(rx + 20, ry + rh - 16)
        wait_for(lambda: len(self.mapped_windows(REMINDER)) == 1, what="one reminder to go")
        # Firing changed nothing: the files stay as they were.
        files = app.note_files()
        self.assertEqual(header_numbers(files["note1"])[9:], [1] + list(now))

    def test_alarm_set_saved_loaded_and_disarmed_through_the_menus(self):
        home = os.path.join(self.x.tmp, "home")
        note_dir = os.path.join(home, ".tackonnotes")
        os.makedirs(home)
        # 14 June, 09:30, not armed: the dialog starts at the next minute
        # all the same.
        self.write_note(note_dir, "note3", "Dentist", alarm=(0, 5, 14, 9, 30))
        app = self.start(home=home, note_dir=note_dir)
        note = self.x.wait_mapped("Dentist")

        # Notes -> Set Alarm...: after the title, Hide, Erase, Destroy, Name,
        # Anchor and UnAnchor, below three lines.
        opened = time.time()
        self.pick_from_menu(note, NOTES_BUTTON, 7, 3)
        dialog = self.x.wait_mapped(SETUP)
        shown = [next_minute(t) for t in (opened, time.time())]
        dx, dy, _, _ = self.x.geometry(dialog)
        for offset in (MONTH_UP, MONTH_UP, DAY_UP):
            self.x.click(dx + offset[0], dy + offset[1])
        self.x.click(dx + ACCEPT[0], dy + ACCEPT[1])
        self.x.wait_unmapped(SETUP)

        # File -> Save: the entry after the title and one line. Two months
        # and a day on (the day wraps at the end of the month then shown).
        self.pick_from_menu(note, FILE_BUTTON, 1, 1)
        path = os.path.join(note_dir, "note3")
        stepped = []
        for month, day, hour, minute in shown:
            month = (month + 2) % 12
            day = 1 if day >= DAYS_IN_MONTH[month] else day + 1
            stepped.append([1, month, day, hour, minute])
        wait_for(lambda: header_numbers(read_file(path))[9:] in stepped, what="the armed alarm in the file")
        armed = header_numbers(read_file(path))[9:]
        app.stop()

        # Loaded again, the alarm is armed: Unset Alarm is the entry after
        # Set Alarm..., and only an armed note has it sensitive.
        app = self.start(home=home, note_dir=note_dir)
        note = self.x.wait_mapped("Dentist")
        self.pick_from_menu(note, NOTES_BUTTON, 8, 3)
        self.pick_from_menu(note, FILE_BUTTON, 1, 1)
        wait_for(lambda: header_numbers(read_file(path))[9:] == [0] + armed[1:],
                 what="the disarmed alarm in the file")

    def test_no_alarm_option_fires_nothing_and_sets_nothing(self):
        home = os.path.join(self.x.tmp, "home")
        note_dir = os.path.join(home, ".tackonnotes")
        os.makedirs(home)
        now = this_minute_with_time_to_spare(10)
        self.write_note(note_dir, "note1", "Quiet", alarm=(1,) + now)
        # Saves every changed note when told to end.
        app = self.start("-na", "-sv", home=home, note_dir=note_dir)
        note = self.x.wait_mapped("Quiet")
        # Set Alarm... is insensitive: picking it opens nothing.
        self.pick_from_menu(note, NOTES_BUTTON, 7, 3)
        # Unset Alarm is insensitive too: the alarm stays armed, also in the
        # file written at the end.
        self.pick_from_menu(note, NOTES_BUTTON, 8, 3)
        app.signal(signal.SIGTERM)
        app.wait_exit()
        self.assertIsNone(self.x.mapped_window(SETUP))
        self.assertEqual(self.mapped_windows(REMINDER), [])
        self.assertEqual(header_numbers(app.note_files()["note1"])[9:], [1] + list(now))

    def test_alarm_accepted_for_the_current_minute_fires_at_once(self):
        # The dialog starts at the next whole minute: one step back on the
        # Minute row is the minute now running.
        home = os.path.join(self.x.tmp, "home")
        note_dir = os.path.join(home, ".tackonnotes")
        os.makedirs(home)
        now = this_minute_with_time_to_spare(25)
        self.write_note(note_dir, "note1", "Now", alarm=(0,) + now)
        app = self.start(home=home, note_dir=note_dir)
        note = self.x.wait_mapped("Now")
        self.pick_from_menu(note, NOTES_BUTTON, 7, 3)
        dialog = self.x.wait_mapped(SETUP)
        dx, dy, _, _ = self.x.geometry(dialog)
        self.x.click(dx + MINUTE_DOWN[0], dy + MINUTE_DOWN[1])
        self.x.click(dx + ACCEPT[0], dy + ACCEPT[1])
        wait_for(lambda: len(self.mapped_windows(REMINDER)) == 1, timeout=10, what="the reminder at once")
        self.assertEqual(time.localtime().tm_min, now[3], "within the minute")
        # And only once: the next minute's check does not repeat it.
        wait_for(lambda: time.localtime().tm_min != now[3], timeout=65, interval=0.5, what="the next minute")
        time.sleep(3)
        self.assertEqual(len(self.mapped_windows(REMINDER)), 1)
        self.assertIsNone(app.proc.poll())

    @unittest.skipUnless(os.path.exists(LIBFAKETIME), "needs libfaketime")
    def test_clock_set_back_an_hour(self):
        """The program's wall clock (libfaketime, on the program alone) is
        set back one hour while it runs: an alarm due two minutes later
        fires once, and auto-save every minute keeps running."""
        home = os.path.join(self.x.tmp, "home")
        note_dir = os.path.join(home, ".tackonnotes")
        os.makedirs(home)
        offset_file = os.path.join(self.x.tmp, "faketime")
        with open(offset_file, "w") as f:
            f.write("+0\n")
        # The alarm stands two minutes after the clock has been set back
        # (and an hour before the real time, when it cannot fire).
        wait_for(lambda: time.localtime().tm_sec < 30, timeout=40, interval=0.2, what="a fresh minute")
        due = (int(time.time()) - 3600) // 60 * 60 + 120
        t = time.localtime(due)
        self.write_note(note_dir, "note1", "Tick", alarm=(1, t.tm_mon - 1, t.tm_mday, t.tm_hour, t.tm_min))
        env = {"LD_PRELOAD": LIBFAKETIME, "FAKETIME_TIMESTAMP_FILE": offset_file,
               "FAKETIME_CACHE_DURATION": "1", "FAKETIME_DONT_FAKE_MONOTONIC": "1"}
        app = self.start("-interval", "1", home=home, note_dir=note_dir, env=env)
        note = self.x.wait_mapped("Tick")
        with open(offset_file, "w") as f:
            f.write("-3600\n")
        time.sleep(2)
        type_into_note(self.x, note, "later ")
        path = os.path.join(note_dir, "note1")
        wait_for(lambda: b"later text of Tick" in read_file(path), timeout=150, interval=1,
                 what="auto-save after the clock was set back")
        wait_for(lambda: self.mapped_windows(REMINDER), timeout=due + 3600 + 90 - time.time(), interval=1,
                 what="the alarm two minutes after the clock was set back")
        self.assertGreaterEqual(time.time() + 2, due + 3600, "not before its minute")
        # The next minute's checks fire it no second time.
        wait_for(lambda: time.time() > due + 3600 + 70, timeout=150, interval=1, what="the next minute")
        self.assertEqual(len(self.mapped_windows(REMINDER)), 1)
        self.assertIsNone(app.proc.poll())


if __name__ == "__main__":
    unittest.main()

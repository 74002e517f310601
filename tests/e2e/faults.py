"""Helpers for the fault tests: a strict reader of note files, the note
menus driven with xdotool, and a note directory's state."""

import os
import re
import subprocess
import time

from e2e import wait_for


def build_fault_shim(build_dir):
    """Compiles fault_shim.c (next to this file) into build_dir; returns the
    shared object's path, for LD_PRELOAD."""
    shim = os.path.join(build_dir, "fault_shim.so")
    source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fault_shim.c")
    subprocess.run(["cc", "-shared", "-fPIC", "-O1", "-o", shim, source, "-ldl"], check=True)
    return shim

HEADER = re.compile(rb"^%%!!<tackonnote>((?: -?\d+){14}) \n")
# A recovery file's header line also names what the note's file held.
RECOVERY_HEADER = re.compile(rb"^%%!!<tackonnote>((?: -?\d+){14}) base (none|\d+ \d+ \d+ \d+ \d+ [0-9a-f]{16}) \n")

# Where the bar's menu buttons sit in a note's client window, and how far
# below the top of a note menu the centre of each entry lies (a label and a
# line come first; the entries are 15 pixels apart).
BUTTONS = {"File": (10, 8), "Notes": (50, 8)}
FIRST_ENTRY_DY = 28
ENTRY_STEP = 15
FILE_ENTRIES = ["Save", "Open", "Export", "Print", "Email..."]


class TornNote(Exception):
    pass


def parse_recovery(data):
    """parse_note for a recovery file, with "base": what it names."""
    return parse_note(data, RECOVERY_HEADER)


def parse_note(data, header=HEADER):
    """The fields of a complete note file in the current format; raises
    TornNote when the bytes are not one (a torn or foreign file)."""
    m = header.match(data)
    if not m:
        raise TornNote("bad header: %r" % data[:80])
    nums = [int(v) for v in m.group(1).split()]
    rest = data[m.end():]
    nl = rest.find(b"\n")
    if nl < 0:
        raise TornNote("no name line")
    name, text = rest[:nl], rest[nl + 1:]
    if len(text) != nums[4]:
        raise TornNote("length %d but %d text bytes" % (nums[4], len(text)))
    keys = ["x", "y", "height", "width", "length", "hidden", "anchored", "screen_height",
            "screen_width", "alarm_set", "alarm_month", "alarm_day", "alarm_hour", "alarm_minute"]
    note = dict(zip(keys, nums))
    note["name"] = name
    note["text"] = text
    if header is RECOVERY_HEADER:
        note["base"] = m.group(2)
    return note


def note_dir_state(path):
    """{file name: bytes} of the note* files, and the other file names
    (the running program's lock file aside)."""
    notes, others = {}, []
    for name in sorted(os.listdir(path)):
        if name == ".lock":
            continue
        full = os.path.join(path, name)
        if name.startswith("note") and os.path.isfile(full) and not os.path.islink(full):
            with open(full, "rb") as f:
                notes[name] = f.read()
        else:
            others.append(name)
    return notes, others


def move_pointer(session, x, y):
    """Moves the pointer and waits until it is there (xdotool's --sync waits
    for a motion that never comes when the pointer is there already)."""
    out = session.run(["xdotool", "getmouselocation", "--shell"], check=False)
    here = dict(line.split("=", 1) for line in out.split() if "=" in line)
    if here.get("X") == str(x) and here.get("Y") == str(y):
        return
    session.xdotool("mousemove", "--sync", x, y)


def root_children(session):
    """The root window's children: list of (id, name or None, x, y, w, h)."""
    out = session.run(["xwininfo", "-root", "-children"], check=False)
    pat = re.compile(r'^\s*(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)):.*?\s+(\d+)x(\d+)\+(-?\d+)\+(-?\d+)')
    result = []
    for line in out.splitlines():
        m = pat.match(line)
        if m:
            result.append((int(m.group(1), 16), m.group(2), int(m.group(5)), int(m.group(6)),
                           int(m.group(3)), int(m.group(4))))
    return result


def viewable(session, wid):
    return "IsViewable" in session.run(["xwininfo", "-id", str(wid)], check=False)


def popup_menu_window(session, near_x, near_y):
    """The menu window (a child of the root) that popped up below (near_x, near_y)."""
    def find():
        for wid, name, x, y, w, h in root_children(session):
            if name is None and abs(x - near_x) <= 4 and 0 <= y - near_y <= 40 and h > 40 \
                    and viewable(session, wid):
                return dict(id=wid, x=x, y=y, w=w, h=h)
        return None
    return wait_for(find, timeout=5, what="a menu")


def choose_note_menu_entry(session, wid, button, index):
    """Presses a note's menu button, drags to entry number index (0 = the
    first entry after the line) and releases there."""
    gx, gy, _, _ = session.geometry(wid)
    bx, by = BUTTONS[button]
    move_pointer(session, gx + bx, gy + by)
    session.xdotool("mousedown", 1)
    try:
        menu = popup_menu_window(session, gx + (0 if button == "File" else 36), gy)
        move_pointer(session, menu["x"] + 20, menu["y"] + FIRST_ENTRY_DY + index * ENTRY_STEP)
    finally:
        session.xdotool("mouseup", 1)


def sync_note(session, wid):
    """Returns once the program has handled every input event sent so far:
    it pops the note's File menu up (which it does only after the events
    before the press) and down again, choosing nothing."""
    gx, gy, _, _ = session.geometry(wid)
    move_pointer(session, gx + BUTTONS["File"][0], gy + BUTTONS["File"][1])
    session.xdotool("mousedown", 1)
    try:
        menu = popup_menu_window(session, gx, gy)
    finally:
        move_pointer(session, gx + 150, gy + 100)
        session.xdotool("mouseup", 1)
    wait_for(lambda: not viewable(session, menu["id"]), what="the menu to go")


def type_into_note(session, wid, text):
    """Types text into a note's text area (twm gives focus to the window under
    the pointer); it goes in at the insertion point."""
    gx, gy, w, h = session.geometry(wid)
    focused = lambda: session.run(["xdotool", "getwindowfocus"], check=False).strip() == str(wid)
    # twm gives the focus on entry; keys typed before it would go elsewhere.
    # An entry can be lost while the window manager is still busy with the
    # window: leave the note and enter it again.
    for attempt in range(3):
        move_pointer(session, gx + w // 2, gy + h // 2 + 10)
        try:
            wait_for(focused, timeout=5, what="focus on the note")
            break
        except AssertionError:
            if attempt == 2:
                raise
            move_pointer(session, 5, session.screen_size()[1] - 5)
    session.xdotool("type", "--delay", "1", text)


def sleep_ms(ms):
    if ms > 0:
        time.sleep(ms / 1000.0)


class DirectoryWatch:
    """Counts, per file name, the files renamed or moved into a directory
    (inotify, through the C library)."""

    IN_MOVED_TO = 0x80
    IN_CREATE = 0x100

    def __init__(self, path):
        import ctypes
        import ctypes.util
        self.libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
        self.fd = self.libc.inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
        if self.fd < 0:
            raise OSError(ctypes.get_errno(), "inotify_init1")
        if self.libc.inotify_add_watch(self.fd, os.fsencode(path), self.IN_MOVED_TO) < 0:
            raise OSError(ctypes.get_errno(), "inotify_add_watch")
        self.moved_in = {}

    def poll(self):
        import struct
        while True:
            try:
                data = os.read(self.fd, 65536)
            except BlockingIOError:
                return self.moved_in
            pos = 0
            while pos < len(data):
                _, mask, _, length = struct.unpack_from("iIII", data, pos)
                name = data[pos + 16:pos + 16 + length].rstrip(b"\0").decode(errors="replace")
                pos += 16 + length
                if mask & self.IN_MOVED_TO:
                    self.moved_in[name] = self.moved_in.get(name, 0) + 1

    def close(self):
        os.close(self.fd)


def child_windows(session, wid):
    """The direct children of a window: list of (id, x, y, w, h), absolute."""
    out = session.run(["xwininfo", "-children", "-id", str(wid)], check=False)
    pat = re.compile(r'^\s*(0x[0-9a-f]+) .*?\s+(\d+)x(\d+)\+(-?\d+)\+(-?\d+)\s+\+(-?\d+)\+(-?\d+)')
    result = []
    for line in out.splitlines():
        m = pat.match(line)
        if m:
            result.append((int(m.group(1), 16), int(m.group(6)), int(m.group(7)),
                           int(m.group(2)), int(m.group(3))))
    return result

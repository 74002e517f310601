"""End-to-end helpers: the real stikkel under a private Xvfb (and twm),
driven with xdotool and observed through xwininfo, xprop and its files."""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.environ.get("STIKKEL_SOURCE_DIR", os.path.dirname(os.path.dirname(HERE)))
BIN = os.environ.get("STIKKEL_BIN", os.path.join(SOURCE_DIR, "build", "stikkel"))
TWMRC = os.path.join(SOURCE_DIR, "tests", "support", "twmrc")
# The shared twm configuration with F12 bound to twm's delete: see wm_delete.
TWMRC_DELETE = os.path.join(SOURCE_DIR, "tests", "support", "twmrc-delete")
ARTIFACTS = os.environ.get("STIKKEL_ARTIFACTS", os.path.join(SOURCE_DIR, "build", "e2e-artifacts"))
# A script run again in another locale runs beside its first run: its
# screenshots go to a directory of their own.
if os.environ.get("STIKKEL_E2E_LOCALE"):
    ARTIFACTS = os.path.join(ARTIFACTS, os.environ["STIKKEL_E2E_LOCALE"])


def wait_for(cond, timeout=10.0, interval=0.05, what="condition"):
    """Polls cond until it returns a true value; fails after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = cond()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(interval)


# strace's system calls that count an X round trip: each write to the
# connection, and each wait for its reply (a poll of the connection alone,
# for reading, with no timeout; the main loop's waits watch more than the
# connection).
ROUND_TRIP_CALLS = ("poll", "write", "writev", "sendmsg")
_REPLY_WAIT = re.compile(r"\bpoll\(\[\{fd=(\d+), events=POLLIN\}\], 1, -1\)")
_SEND = re.compile(r"\b(?:write|writev|sendmsg)\((\d+),")


def x_round_trips(lines):
    """X round trips in the lines of an strace log (of the calls in
    ROUND_TRIP_CALLS): waits for a reply after something was sent. A slow
    server hands a reply, and the events before it, in several reads, each
    after a wait of its own; those waits are still one round trip, so a
    wait counts only when the program has sent something since the last
    one counted."""
    trips = 0
    sent = set()
    for line in lines:
        m = _SEND.search(line)
        if m:
            sent.add(m.group(1))
            continue
        m = _REPLY_WAIT.search(line)
        if m and m.group(1) in sent:
            trips += 1
            sent.discard(m.group(1))
    return trips


class XSession:
    """A private Xvfb of 1920x1080 at 96 dpi, with twm when wm is true.
    Every program started in it (stikkel, twm, xdotool) runs in the locale
    `locale`: the C locale, where stikkel works in single bytes, unless a
    test of the UTF-8 mode asks for another, or STIKKEL_E2E_LOCALE names the
    locale of every session that asks for none (the tests run again in the
    UTF-8 mode)."""

    def __init__(self, wm=True, twmrc=None, locale=None, screen="1920x1080x24", dpi=96):
        self.locale = locale or os.environ.get("STIKKEL_E2E_LOCALE") or "C"
        self.tmp = tempfile.mkdtemp(prefix="stikkel-e2e-")
        self.twmrc = twmrc or TWMRC
        rfd, wfd = os.pipe()
        # -noreset: without it the server resets whenever its last client
        # leaves, and a client connecting meanwhile (twm while xprop polls)
        # is refused.
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(wfd), "-screen", "0", screen, "-dpi", str(dpi),
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(wfd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(wfd)
        self.twm = None
        try:
            self._connect(rfd, wm)
        except BaseException:
            # Nothing is left running when the session cannot start.
            self.close()
            raise

    def _connect(self, rfd, wm):
        number = b""
        with os.fdopen(rfd, "rb") as r:
            while not number.endswith(b"\n"):
                chunk = r.read(1)
                if not chunk:
                    break
                number += chunk
        if not number.strip():
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.decode().strip()
        self.env = dict(os.environ)
        self.env["DISPLAY"] = self.display
        self.env.pop("XENVIRONMENT", None)
        self.env["LC_ALL"] = self.locale
        # The runtime directory (where a running stikkel keeps the key that
        # commands from a second one must carry) is the session's own.
        self.env["XDG_RUNTIME_DIR"] = os.path.join(self.tmp, "run")
        os.makedirs(self.env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        # The server answers before anything else runs on it.
        wait_for(lambda: subprocess.run(["xprop", "-root", "-len", "0"], env=self.env,
                                        capture_output=True).returncode == 0,
                 timeout=10, what="Xvfb on " + self.display)
        if wm:
            self.start_wm()

    def start_wm(self):
        log = os.path.join(self.tmp, "twm.log")
        for _ in range(3):
            with open(log, "wb") as err:
                self.twm = subprocess.Popen(["twm", "-f", self.twmrc], env=self.env,
                                            stdout=subprocess.DEVNULL, stderr=err)
            # twm is ready once it has set up its root window property and
            # created its own windows.
            wait_for(lambda: self.twm.poll() is not None or
                     ("_MIT_PRIORITY_COLORS" in self.run(["xprop", "-root"], check=False) and
                      "children" in self.run(["xwininfo", "-root", "-children"], check=False)),
                     timeout=10, what="twm")
            if self.twm.poll() is None:
                return
        with open(log, "rb") as f:
            raise RuntimeError("twm did not start: " + f.read().decode(errors="replace")[-2000:])

    def run(self, argv, check=True, input=None):
        p = subprocess.run(argv, env=self.env, capture_output=True, text=True, input=input)
        if check and p.returncode != 0:
            raise AssertionError("%s failed: %s" % (argv, p.stderr))
        return p.stdout

    def xdotool(self, *args):
        return self.run(["xdotool"] + [str(a) for a in args])

    def close(self):
        for p in (self.twm, self.xvfb):
            if p and p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        shutil.rmtree(self.tmp, ignore_errors=True)

    # --- looking at windows -------------------------------------------------

    def windows(self):
        """Every window of the tree: list of dicts with id, name, x, y, w, h
        (absolute position), parsed from xwininfo -root -tree."""
        out = self.run(["xwininfo", "-root", "-tree"], check=False)
        result = []
        pat = re.compile(r'^\s*(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)):.*?\s+(\d+)x(\d+)\+(-?\d+)\+(-?\d+)\s+\+(-?\d+)\+(-?\d+)')
        for line in out.splitlines():
            m = pat.match(line)
            if m:
                result.append(dict(id=int(m.group(1), 16), name=m.group(2), w=int(m.group(3)),
                                   h=int(m.group(4)), x=int(m.group(7)), y=int(m.group(8))))
        return result

    def subwindows(self, wid):
        """Every window below wid (widgets are windows): dicts with id, w, h
        and absolute x, y, in the order xwininfo lists them."""
        out = self.run(["xwininfo", "-id", str(wid), "-tree"], check=False)
        result = []
        pat = re.compile(r'^\s+(0x[0-9a-f]+) .*?(\d+)x(\d+)\+(-?\d+)\+(-?\d+)\s+\+(-?\d+)\+(-?\d+)\s*$')
        for line in out.splitlines():
            m = pat.match(line)
            if m:
                result.append(dict(id=int(m.group(1), 16), w=int(m.group(2)), h=int(m.group(3)),
                                   x=int(m.group(6)), y=int(m.group(7))))
        return result

    def outer_window(self, wid):
        """The ancestor of wid whose parent is the root (the window manager's
        frame, or wid itself without one)."""
        while True:
            out = self.run(["xwininfo", "-id", str(wid), "-children"], check=False)
            m = re.search(r"Parent window id: (0x[0-9a-f]+)( \(the root window\))?", out)
            if not m or m.group(2):
                return wid
            wid = int(m.group(1), 16)

    def click_center(self, win, button=1):
        self.click(win["x"] + win["w"] // 2, win["y"] + win["h"] // 2, button)

    def find_windows(self, name):
        return [w for w in self.windows() if w["name"] == name]

    def mapped_window(self, name):
        """The id of a viewable client window with this WM_NAME, or None."""
        out = self.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % re.escape(name)],
                       check=False)
        ids = [int(x) for x in out.split()]
        return ids[0] if ids else None

    def wait_mapped(self, name, timeout=20):
        return wait_for(lambda: self.mapped_window(name), timeout, what="window %r" % name)

    def wait_unmapped(self, name, timeout=10):
        return wait_for(lambda: self.mapped_window(name) is None, timeout,
                        what="window %r to go" % name)

    def geometry(self, wid):
        """Absolute x, y, width, height of a window."""
        out = self.run(["xwininfo", "-id", str(wid)])
        get = lambda key: int(re.search(key + r":\s+(-?\d+)", out).group(1))
        return get("Absolute upper-left X"), get("Absolute upper-left Y"), get("Width"), get("Height")

    def wm_name(self, wid):
        out = self.run(["xprop", "-id", str(wid), "WM_NAME"], check=False)
        m = re.search(r'= "(.*)"', out)
        return m.group(1) if m else None

    def descendants(self, wid):
        """Every window below wid: list of dicts with id, name, depth (1 for
        a child), x, y (absolute), w, h, in xwininfo's order (topmost first
        among siblings)."""
        out = self.run(["xwininfo", "-tree", "-id", str(wid)], check=False)
        pat = re.compile(r'^(\s*)(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)):.*?\s+(\d+)x(\d+)\+(-?\d+)\+(-?\d+)\s+\+(-?\d+)\+(-?\d+)')
        result = []
        for line in out.splitlines():
            m = pat.match(line)
            if m:
                result.append(dict(id=int(m.group(2), 16), name=m.group(3), depth=(len(m.group(1)) - 5) // 3 + 1,
                                   w=int(m.group(4)), h=int(m.group(5)), x=int(m.group(8)), y=int(m.group(9))))
        return result

    def top_windows(self):
        """The ids of the root window's children."""
        out = self.run(["xwininfo", "-root", "-children"], check=False)
        return set(int(m, 16) for m in re.findall(r"^\s+(0x[0-9a-f]+)", out, re.M))

    def is_viewable_override(self, wid):
        out = self.run(["xwininfo", "-id", str(wid)], check=False)
        return "Map State: IsViewable" in out and "Override Redirect State: yes" in out

    def confirm_buttons(self, popup):
        """The buttons of a Confirm popup (Confirm, Cancel), left to right:
        they stand side by side under the question."""
        parts = [w for w in self.descendants(popup) if w["depth"] == 2]
        bottom = max(w["y"] for w in parts)
        return sorted((w for w in parts if w["y"] == bottom), key=lambda w: w["x"])

    def viewable_overrides(self):
        """The ids of the override-redirect windows (menus, undecorated
        popups) on screen now. Only the viewable top-level windows are
        looked at: thousands of unmapped note windows cost nothing."""
        out = self.run(["xdotool", "search", "--maxdepth", "1", "--onlyvisible", "--name", ""], check=False)
        return set(wid for wid in (int(w) for w in out.split()) if self.is_viewable_override(wid))

    def wait_new_override(self, before, timeout=10):
        """The id of an override-redirect window on screen that was not in
        before (a set from viewable_overrides)."""
        return wait_for(lambda: next(iter(self.viewable_overrides() - before), None), timeout,
                        what="a new popup")

    def choose_from_menu(self, button_wid, layout, entry, mouse=1):
        """Pops up the SimpleMenu of a menu button with mouse button `mouse`
        and releases it on `entry`. layout lists the menu's objects from the
        top: entry names, "-" for a one-pixel SmeLine; every other entry
        (its label first) is one text line high."""
        x, y, w, h = self.geometry(button_wid)
        before = self.viewable_overrides()
        self.xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
        self.xdotool("mousedown", mouse)
        menu = self.wait_new_override(before)
        mx, my, mw, mh = self.geometry(menu)
        lines = layout.count("-")
        line_height = (mh - lines) / (len(layout) - lines)
        top = my
        for name in layout:
            if name == entry:
                break
            top += 1 if name == "-" else line_height
        else:
            raise AssertionError("no entry %r in the menu" % entry)
        self.xdotool("mousemove", "--sync", mx + mw // 2, int(top + line_height / 2))
        self.xdotool("mouseup", mouse)
        wait_for(lambda: not self.is_viewable_override(menu), what="the menu to go")

    def screenshot(self, name):
        os.makedirs(ARTIFACTS, exist_ok=True)
        path = os.path.join(ARTIFACTS, name)
        xwd = subprocess.run(["xwd", "-root", "-silent"], env=self.env, capture_output=True)
        subprocess.run(["convert", "xwd:-", path], input=xwd.stdout, check=True)
        return path

    def window_info(self, wid):
        """xwininfo's text for one window ('' when it is gone)."""
        return self.run(["xwininfo", "-id", str(wid)], check=False)

    def stacking(self, wids):
        """The given windows ordered by their outer windows' places among the
        root's children, bottom first (xwininfo lists the top first)."""
        out = self.run(["xwininfo", "-root", "-children"], check=False)
        order = [int(m, 16) for m in re.findall(r"^\s+(0x[0-9a-f]+)", out, re.M)][::-1]
        return sorted(wids, key=lambda w: order.index(self.outer_window(w)))

    def screen_size(self):
        """(width px, height px, width mm, height mm) of screen 0."""
        out = self.run(["xdpyinfo"])
        m = re.search(r"dimensions:\s+(\d+)x(\d+) pixels \((\d+)x(\d+) millimeters\)", out)
        return tuple(int(g) for g in m.groups())

    def pixel(self, png, x, y):
        """The colour of one pixel of a screenshot as '#RRGGBB'."""
        out = subprocess.run(["convert", png, "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "txt:-"],
                             capture_output=True, text=True, check=True).stdout
        return re.search(r"#[0-9A-Fa-f]{6}", out).group(0).upper()

    def pointer(self):
        """Where the pointer is on the root window."""
        out = self.xdotool("getmouselocation", "--shell")
        return int(re.search(r"X=(\d+)", out).group(1)), int(re.search(r"Y=(\d+)", out).group(1))

    # --- the note list -------------------------------------------------------

    def list_scroll_bar(self, window):
        """The vertical scroll bar of a note list window (its client window
        id): the tall, narrow window in it."""
        return next(d for d in self.descendants(window) if d["w"] < 25 and d["h"] >= 40)

    def drag_to_end(self, bar):
        """Drags the thumb of a vertical scroll bar with button 2 to the
        bottom and past it, as a user does to see the end of a list."""
        x = bar["x"] + bar["w"] // 2
        self.xdotool("mousemove", "--sync", x, bar["y"] + bar["h"] - 2)
        self.xdotool("mousedown", 2)
        self.xdotool("mousemove", "--sync", x, bar["y"] + bar["h"] + 40)
        self.xdotool("mouseup", 2)

    def lowest_button(self, window, bar):
        """The lowest button of a note list that stands wholly in view beside
        its scroll bar, or None."""
        buttons = [d for d in self.descendants(window) if d["w"] > 60 and 10 < d["h"] < 40 and d["x"] > bar["x"]
                   and bar["y"] <= d["y"] and d["y"] + d["h"] <= bar["y"] + bar["h"]]
        return max(buttons, key=lambda d: d["y"]) if buttons else None

    # --- input --------------------------------------------------------------

    def click(self, x, y, button=1):
        # mousemove --sync waits for the pointer to move: it waits in vain
        # (seconds) when the pointer already stands there.
        if self.pointer() != (x, y):
            self.xdotool("mousemove", "--sync", x, y)
        self.xdotool("click", button)

    def click_window(self, wid, dx, dy, button=1):
        x, y, _, _ = self.geometry(wid)
        self.click(x + dx, y + dy, button)

    def wm_delete(self, wid):
        """The window manager's close on a window, as its close button does:
        twm's f.delete (WM_DELETE_WINDOW), bound to F12 over the window in
        TWMRC_DELETE, the configuration the session's twm must run with."""
        x, y, w, h = self.geometry(wid)
        if self.pointer() != (x + w // 2, y + h // 2):
            self.xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
        self.xdotool("key", "F12")


# Rows of the main menu; the two separators are one pixel high.
ROWS = ["Create 1.5x2 Note", "Create 2x3 Note", "Create 3x3 Note", "Create 3x4 Note",
        "Create 3x5 Note", "Create 4x6 Note", None, "Raise All Notes", "Lower All Notes",
        "Save All Notes", "Hidden Notes", "Unhide All Notes", "Cascade Notes", "Find A Note",
        "Search All Notes", None, "Exit"]
ENTRIES = len([r for r in ROWS if r]) + 1  # and the title


class MainMenu:
    """The open main menu: its rectangle and the height of one entry."""

    def __init__(self, x, y, w, h):
        self.x, self.y, self.w, self.h = x, y, w, h
        separators = len(ROWS) - ENTRIES + 1
        self.row_height, rest = divmod(h - separators, ENTRIES)
        self.exact = rest == 0

    def row_center(self, label):
        row = ROWS.index(label)
        separators = len([r for r in ROWS[:row] if r is None])
        top = self.y + self.row_height * (1 + row - separators) + separators
        return self.x + self.w // 2, top + self.row_height // 2


def choose_from_main_menu(session, control, label, wait_gone=True, overrides=None, raise_first=False,
                          before_release=None, timeout=10):
    """Opens the main menu with button 3 on the control window (its client
    window id) and releases the button on the row labelled `label`; with
    wait_gone, waits until the menu is gone. `overrides` lists the
    override-redirect windows on screen (session.viewable_overrides by
    default). With raise_first the control window is raised first, out from
    under notes that may cover it. before_release is called just before
    the button goes up; its result is returned. `timeout`: seconds to wait
    for the menu."""
    overrides = overrides or session.viewable_overrides
    if raise_first:
        session.xdotool("windowraise", control)
    x, y, w, h = session.geometry(control)
    before = overrides()
    session.xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
    session.xdotool("mousedown", 3)
    menu_window = wait_for(lambda: next(iter(overrides() - before), None), timeout, what="the main menu")
    menu = MainMenu(*session.geometry(menu_window))
    session.xdotool("mousemove", "--sync", *menu.row_center(label))
    result = before_release() if before_release else None
    session.xdotool("mouseup", 3)
    if wait_gone:
        wait_for(lambda: not session.is_viewable_override(menu_window), what="the menu to go")
    return result


class Stikkel:
    """One run of the program with its own HOME and note directory."""

    def __init__(self, session, args=(), home=None, note_dir=None, env=None, pass_dir=True, wrapper=()):
        self.session = session
        self.home = home or tempfile.mkdtemp(prefix="stikkel-home-", dir=session.tmp)
        self.note_dir = note_dir or os.path.join(self.home, ".tackonnotes")
        self.env = dict(session.env)
        self.env["HOME"] = self.home
        if env:
            self.env.update(env)
        self.stdout_path = os.path.join(session.tmp, "stdout-%d" % time.monotonic_ns())
        self.stderr_path = self.stdout_path.replace("stdout", "stderr")
        argv = list(wrapper) + [BIN] + list(args)
        if pass_dir and "-dir" not in args:
            argv += ["-dir", self.note_dir]
        with open(self.stdout_path, "wb") as out, open(self.stderr_path, "wb") as err:
            self.proc = subprocess.Popen(argv, env=self.env, stdout=out, stderr=err,
                                         stdin=subprocess.DEVNULL)

    def wait_ready(self, timeout=20):
        """Waits until the control window (toplevel "stikkel") is mapped."""
        wait_for(lambda: self.session.mapped_window("stikkel") or self.proc.poll() is not None,
                 timeout, what="stikkel to start")
        if self.proc.poll() is not None:
            raise AssertionError("stikkel ended with %s at start-up: %s" % (self.proc.returncode, self.stderr()))

    def signal(self, sig):
        self.proc.send_signal(sig)

    def wait_exit(self, timeout=10):
        return self.proc.wait(timeout)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    def stdout(self):
        with open(self.stdout_path, "rb") as f:
            return f.read().decode(errors="replace")

    def stderr(self):
        with open(self.stderr_path, "rb") as f:
            return f.read().decode(errors="replace")

    def note_files(self):
        if not os.path.isdir(self.note_dir):
            return {}
        out = {}
        for name in os.listdir(self.note_dir):
            if name.startswith(".") or os.path.isdir(os.path.join(self.note_dir, name)):
                continue  # the lock file, the recovery directory
            with open(os.path.join(self.note_dir, name), "rb") as f:
                out[name] = f.read()
        return out


def make_note_dir(home, files=()):
    """Makes the note directory of a home, home/.tackonnotes (and the home
    when it is missing), and writes each file of `files` into it: a dict or
    (file name, bytes) pairs, in order; a name may be bytes. Returns the
    note directory."""
    note_dir = os.path.join(home, ".tackonnotes")
    os.makedirs(note_dir, exist_ok=True)
    for name, data in (files.items() if isinstance(files, dict) else files):
        with open(os.path.join(os.fsencode(note_dir) if isinstance(name, bytes) else note_dir, name), "wb") as f:
            f.write(data)
    return note_dir


def home_with_notes(tmp, notes):
    """A new home directory below tmp whose .tackonnotes holds note1, note2,
    ... for the given (name, x, y); returns (home, note directory)."""
    home = tempfile.mkdtemp(prefix="stikkel-home-", dir=tmp)
    note_dir = make_note_dir(home, [("note%d" % i, note_file(name, "text of " + name, x=x, y=y))
                                    for i, (name, x, y) in enumerate(notes, 1)])
    return home, note_dir


def note_file(name, text, x=100, y=100, height=169, width=227, hidden=0, anchored=0,
              screen=(1080, 1920), alarm=(0, 0, 1, 12, 0)):
    """The bytes of a note file in the current format."""
    body = text.encode() if isinstance(text, str) else text
    nums = [x, y, height, width, len(body), hidden, anchored, screen[0], screen[1]] + list(alarm)
    header = "%%!!<tackonnote> " + " ".join(str(n) for n in nums) + " \n"
    return header.encode() + name.encode() + b"\n" + body


class E2ETest(unittest.TestCase):
    """A test case with a fresh X session (twm unless WM is False)."""

    WM = True
    TWMRC = None  # a twm configuration file of the test's own, or the shared one
    LOCALE = None  # the session's default; a test that needs a locale names it

    def setUp(self):
        self.x = XSession(wm=self.WM, twmrc=self.TWMRC, locale=self.LOCALE)
        self.apps = []

    def tearDown(self):
        for app in self.apps:
            app.stop()
        self.x.close()

    def start(self, *args, session=None, **kw):
        app = Stikkel(session or self.x, args, **kw)
        self.apps.append(app)
        return app

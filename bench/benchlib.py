"""Shared parts of the stikkel benchmarks: note directories of realistic
notes, the program under a private Xvfb with twm, a second X client that
watches which note windows are mapped, and /proc figures of a process.

The X session and the note file format come from tests/e2e/e2e.py, so the
benchmarks and the end-to-end tests start the program the same way."""

import ctypes
import ctypes.util
import os
import random
import shutil
import signal
import statistics
import subprocess
import sys
import time

BENCH_DIR = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.dirname(BENCH_DIR)
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "e2e"))
os.environ.setdefault("STIKKEL_SOURCE_DIR", SOURCE_DIR)

import e2e  # noqa: E402  (needs the path above)
from e2e import XSession, choose_from_main_menu, note_file, wait_for  # noqa: E402,F401
from xprobe import Probe  # noqa: E402,F401

BIN = os.environ.get("STIKKEL_BIN", os.path.join(SOURCE_DIR, "build", "stikkel"))
CLK_TCK = os.sysconf("SC_CLK_TCK")

# --- realistic notes ---------------------------------------------------------

TOPICS = [
    "Groceries", "Call back", "Meeting notes", "Ideas", "Birthday", "Dentist",
    "Invoice", "Reading list", "Weekend", "Car service", "Passwords hint",
    "Project plan", "Recipes", "Phone numbers", "Gift ideas", "Packing list",
    "Bug to check", "Release", "Garden", "Plumber",
]

LINES = [
    "milk, bread, eggs, butter",
    "call Anna about the invoice before Friday",
    "dentist on Tuesday 14:30, bring the insurance card",
    "renew the car insurance (expires end of month)",
    "buy a present for Tom: book or board game?",
    "standup moved to 9:45 from next week",
    "check why the backup did not run last night",
    "pick up the dry cleaning",
    "ask Maria for the slides of the review",
    "water the tomatoes, repot the basil",
    "pay the electricity bill: 84.20",
    "passport photo, form B12, two copies",
    "train to Leiden 08:12 platform 4b",
    "TODO: answer the mail from the landlord",
    "meeting room 3.14 booked for Thursday",
    "remember: the spare key is with the neighbours",
    "order printer toner (HP 305A)",
    "cinema with Sam, Saturday 20:15",
    "send the signed contract back",
    "flour 500 g, sugar 200 g, 3 eggs, vanilla",
    "- fix the squeaky door\n- oil the bike chain",
    "library books due on the 23rd",
    "phone: +31 20 555 0134 (office), 06 5555 0199 (mobile)",
    "wifi at the cabin: ask the owner on arrival",
]


def make_notes(n, seed=12, screen=(1920, 1080), today=None):
    """n notes as dicts: file name, name, text, position, size, hidden,
    alarm. About one in eight is hidden and one in ten has an alarm, set
    half a year away so that no reminder pops up while a benchmark runs; a
    few texts outgrow the default 1024-byte buffer."""
    rnd = random.Random(seed)
    month = (today or time.localtime()).tm_mon - 1
    notes = []
    for i in range(1, n + 1):
        lines = rnd.randint(1, 8)
        text = "\n".join(rnd.choice(LINES) for _ in range(lines)) + "\n"
        if i % 37 == 0:  # a long note: several kilobytes
            text = text * (1 + 2500 // len(text))
        width, height = rnd.choice([(227, 169), (300, 180), (288, 192), (384, 288), (200, 120)])
        notes.append(dict(
            file="note%d" % i,
            name="%s %d" % (TOPICS[i % len(TOPICS)], i),
            text=text,
            x=rnd.randrange(0, screen[0] - width),
            y=rnd.randrange(30, screen[1] - height),
            width=width, height=height,
            hidden=1 if i % 8 == 3 else 0,
            alarm=(1, (month + 6) % 12, rnd.randint(1, 28), rnd.randint(8, 18), rnd.choice([0, 15, 30, 45]))
            if i % 10 == 7 else (0, month, 1, 12, 0),
        ))
    return notes


def write_stikkel_dir(path, notes, screen=(1920, 1080)):
    os.makedirs(path, exist_ok=True)
    for note in notes:
        with open(os.path.join(path, note["file"]), "wb") as f:
            f.write(note_file(note["name"], note["text"], x=note["x"], y=note["y"], height=note["height"],
                                width=note["width"], hidden=note["hidden"], anchored=note.get("anchored", 0),
                              screen=(screen[1], screen[0]), alarm=note["alarm"]))


def write_xpad_dir(home, notes):
    """The same notes as xpad keeps them: an info file and a content file
    per pad in ~/.config/xpad. xpad has no alarms and titles a pad with the
    first line of its text."""
    conf = os.path.join(home, ".config", "xpad")
    os.makedirs(conf, exist_ok=True)
    with open(os.path.join(conf, "default-style"), "w") as f:
        f.write("decorations 1\nheight 300\nwidth 300\nconfirm_destroy 1\nedit_lock 0\n"
                "sticky_on_start 0\ntray_enabled 0\nautostart_display_pads 2\n"
                "toolbar 1\nauto_hide_toolbar 1\nscrollbar 1\n")
    for i, note in enumerate(notes):
        with open(os.path.join(conf, "content-B%05d" % i), "w") as f:
            f.write(note["text"])
        with open(os.path.join(conf, "info-B%05d" % i), "w") as f:
            f.write("width %d\nheight %d\nx %d\ny %d\nfollow_font 1\nfollow_color 1\nsticky 0\n"
                    "hidden %d\ncontent content-B%05d\n"
                    % (note["width"], note["height"], note["x"], note["y"], note["hidden"], i))


def visible_count(notes):
    return sum(1 for n in notes if not n["hidden"])


# --- a second X client that counts mapped top-level windows -----------------

class _XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("c_class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
                ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
                ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


class _XClassHint(ctypes.Structure):
    _fields_ = [("res_name", ctypes.c_void_p), ("res_class", ctypes.c_void_p)]


IS_VIEWABLE = 2


class WindowWatcher:
    """Counts the viewable note windows of one program under twm, as a
    second X client. One poll is one XQueryTree of the root; each new
    top-level window (a twm frame) is examined once for a client window of
    ours (WM_CLASS class `res_class` and, when `names` is given, a WM_NAME
    among them), and each such client is asked for its map state until it
    is viewable. So the watcher's own requests do not grow with the number
    of windows already counted. Under a window manager (`reparented`) a
    client window that it has not reparented is not counted: under twm
    every mapped client is; without one, the client windows themselves are
    the top-level windows."""

    def __init__(self, display_name, res_class, names=None, reparented=True):
        path = ctypes.util.find_library("X11") or "libX11.so.6"
        self.x = x = ctypes.CDLL(path)
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                 ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                 ctypes.POINTER(ctypes.c_uint)]
        x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(_XWindowAttributes)]
        x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_void_p)]
        x.XGetClassHint.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(_XClassHint)]
        x.XFree.argtypes = [ctypes.c_void_p]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        x.XSetErrorHandler.argtypes = [ctypes.c_void_p]
        x.XMoveWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.dpy = x.XOpenDisplay(display_name.encode())
        if not self.dpy:
            raise RuntimeError("cannot open display " + display_name)
        # Windows come and go while the program starts and ends: a request
        # on one that is gone must not end the watcher.
        self._on_error = _ERROR_HANDLER(lambda d, e: 0)
        x.XSetErrorHandler(ctypes.cast(self._on_error, ctypes.c_void_p))
        self.root = x.XDefaultRootWindow(self.dpy)
        self.res_class = res_class.encode()
        self.names = set(n.encode() for n in names) if names is not None else None
        self.reparented = reparented
        self._not_override = set()
        self.frames = {}  # top-level window -> _OTHER, _VIEWABLE or a client not yet viewable

    def close(self):
        if self.dpy:
            self.x.XCloseDisplay(self.dpy)
            self.dpy = None

    def _children(self, w):
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        kids, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not self.x.XQueryTree(self.dpy, w, ctypes.byref(root), ctypes.byref(parent), ctypes.byref(kids),
                                 ctypes.byref(count)):
            return []
        out = [kids[i] for i in range(count.value)]
        if kids:
            self.x.XFree(kids)
        return out

    def _class_of(self, w):
        hint = _XClassHint()
        if not self.x.XGetClassHint(self.dpy, w, ctypes.byref(hint)):
            return None
        cls = ctypes.string_at(hint.res_class) if hint.res_class else b""
        for p in (hint.res_name, hint.res_class):
            if p:
                self.x.XFree(p)
        return cls

    def _name_of(self, w):
        name = ctypes.c_void_p()
        if not self.x.XFetchName(self.dpy, w, ctypes.byref(name)) or not name.value:
            return None
        value = ctypes.string_at(name.value)
        self.x.XFree(name)
        return value

    def _examine(self, top):
        """What a top-level window is: _OTHER, or the client of ours it
        frames, or None when it frames no client yet."""
        cls = self._class_of(top)
        if cls is not None:  # a client itself, not reparented
            if self.reparented or cls != self.res_class:
                return _OTHER
            if self.names is not None and self._name_of(top) not in self.names:
                return _OTHER
            return top
        for child in self._children(top):
            cls = self._class_of(child)
            if cls is None:
                continue
            if cls != self.res_class:
                return _OTHER
            if self.names is not None and self._name_of(child) not in self.names:
                return _OTHER
            return child
        return None

    def _viewable(self, w):
        attrs = _XWindowAttributes()
        if not self.x.XGetWindowAttributes(self.dpy, w, ctypes.byref(attrs)):
            return False
        return attrs.map_state == IS_VIEWABLE

    def _position(self, w):
        attrs = _XWindowAttributes()
        if not self.x.XGetWindowAttributes(self.dpy, w, ctypes.byref(attrs)):
            return None
        return attrs.x, attrs.y

    def move_all(self, dx, dy, timeout=30):
        """Asks the window manager to move every counted window by dx, dy
        (the way a user's drag ends: a ConfigureRequest it turns into a
        move of the frame), and waits until every frame has moved.
        Returns the number of windows moved."""
        self.count()
        frames = [(top, client) for top, client in self.frames.items() if client == _VIEWABLE]
        # The client of each frame is looked up again: the map holds states.
        moves = []
        for top, _ in frames:
            pos = self._position(top)
            client = next((c for c in self._children(top) if self._class_of(c) == self.res_class), None)
            if pos and client:
                moves.append((top, pos))
                self.x.XMoveWindow(self.dpy, client, pos[0] + dx, pos[1] + dy)
        self.x.XSync(self.dpy, 0)
        wait_for(lambda: all(self._position(top) != pos for top, pos in moves), timeout=timeout,
                 interval=0.02, what="the window manager to move the windows")
        return len(moves)

    def viewable_overrides(self):
        """The override-redirect windows on screen now (menus); what a
        top-level window is not is remembered, so a poll asks only about
        override-redirect windows and new ones."""
        out = set()
        for top in self._children(self.root):
            if top in self._not_override:
                continue
            attrs = _XWindowAttributes()
            if not self.x.XGetWindowAttributes(self.dpy, top, ctypes.byref(attrs)):
                continue
            if not attrs.override_redirect:
                self._not_override.add(top)
            elif attrs.map_state == IS_VIEWABLE:
                out.add(top)
        return out

    def positions(self):
        """Where each counted window's top-level window (frame) stands:
        {top-level window: (x, y)}."""
        self.count()
        out = {}
        for top, state in self.frames.items():
            if state == _VIEWABLE:
                pos = self._position(top)
                if pos:
                    out[top] = pos
        return out

    def count(self):
        """Viewable client windows of ours right now."""
        n = 0
        for top in self._children(self.root):
            state = self.frames.get(top)
            if state is None:
                state = self._examine(top)
                if state is None:
                    continue  # an empty frame: twm reparents into it next
            if state not in (_OTHER, _VIEWABLE) and self._viewable(state):
                state = _VIEWABLE
            self.frames[top] = state
            if state == _VIEWABLE:
                n += 1
        return n


_OTHER = -1
_VIEWABLE = -2
_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)


def wait_mapped(watcher, want, timeout, proc=None, interval=0.005, since=None):
    """Seconds from `since` (a time.monotonic() value; now by default)
    until `want` windows are viewable; polls every `interval` seconds at
    most and gives up after `timeout`."""
    t0 = time.monotonic() if since is None else since
    deadline = time.monotonic() + timeout
    while True:
        got = watcher.count()
        if got >= want:
            return time.monotonic() - t0
        if proc is not None and proc.poll() is not None:
            raise RuntimeError("program ended with status %s before its windows were up" % proc.returncode)
        if time.monotonic() > deadline:
            raise RuntimeError("only %d of %d windows mapped after %.0f s" % (got, want, timeout))
        time.sleep(interval)


# --- /proc figures -----------------------------------------------------------

def proc_status(pid):
    """Fields of /proc/PID/status as integers where they are numbers (kB
    for memory)."""
    out = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            key, _, value = line.partition(":")
            parts = value.split()
            if parts and parts[0].isdigit():
                out[key] = int(parts[0])
    return out


def cpu_seconds(pid):
    """User and system CPU time of the process, in seconds."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) / CLK_TCK, int(fields[12]) / CLK_TCK


def cpu_time(pid):
    """CPU time the process has run, in seconds, at nanosecond resolution
    (/proc/PID/schedstat), or from user + system ticks where that file is
    missing."""
    try:
        with open("/proc/%d/schedstat" % pid) as f:
            return int(f.read().split()[0]) / 1e9
    except (OSError, ValueError, IndexError):
        return sum(cpu_seconds(pid))


def cpu_times(pids):
    return [cpu_time(p) for p in pids]


def start_mark(pids):
    """A callable for choose_from_main_menu's before_release: the CPU times
    of the processes and the moment, just before the command is chosen."""
    return lambda: (cpu_times(pids), time.monotonic())


def wait_quiet(pids, probe, t0, first, limit=60.0, quiet=0.5):
    """Waits until the processes `pids` (the program first) used no CPU time
    for `quiet` seconds and the program answered a probe request sent
    meanwhile (a program that waits for a reply uses no CPU either). Returns
    (moment the last of them was busy, their CPU seconds since `first`
    (cpu_times of them taken at t0), cut): cut when the program answered
    nothing for `limit` seconds."""
    last, last_busy = list(first), time.monotonic()
    while True:
        time.sleep(0.05)
        now = time.monotonic()
        figures = [cpu_time(p) for p in pids]
        if any(f - l > 0.002 for f, l in zip(figures, last)):
            last_busy = now
        last = figures
        used = [f - s for f, s in zip(figures, first)]
        if now - last_busy > quiet and probe.answered_since(last_busy):
            return last_busy, used, False
        if now - t0 > limit and not probe.answered_since(now - limit):
            return now, used, True


def median(values):
    return statistics.median(values) if values else float("nan")


# --- running the program -----------------------------------------------------

def start_stikkel(session, note_dir, args=(), env=None, wrapper=()):
    run_env = dict(session.env)
    run_env["HOME"] = os.path.dirname(note_dir)
    if env:
        run_env.update(env)
    argv = list(wrapper) + [BIN, "-dir", note_dir] + list(args)
    return subprocess.Popen(argv, env=run_env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE)


def end_by_sigterm(proc, timeout=60):
    """SIGTERM (the program runs with -sv, so it saves and ends with 0);
    returns the seconds it took and its status."""
    t0 = time.monotonic()
    proc.send_signal(signal.SIGTERM)
    try:
        status = proc.wait(timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        raise RuntimeError("the program did not end within %d s of SIGTERM" % timeout)
    return time.monotonic() - t0, status


def stop(proc):
    if proc and proc.poll() is None:
        proc.kill()
        proc.wait()


# --- output ------------------------------------------------------------------

def table(headers, rows):
    """A Markdown table."""
    cells = [[str(c) for c in row] for row in rows]
    widths = [max(len(h), *(len(r[i]) for r in cells)) if cells else len(h) for i, h in enumerate(headers)]
    line = lambda row: "| " + " | ".join(c.rjust(w) for c, w in zip(row, widths)) + " |"
    out = [line(headers), "|" + "|".join("-" * (w + 1) + ":" for w in widths) + "|"]
    out += [line(r) for r in cells]
    return "\n".join(out)


def machine():
    model = "unknown"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    mem_kb = 0
    with open("/proc/meminfo") as f:
        for line in f:
            if line.startswith("MemTotal:"):
                mem_kb = int(line.split()[1])
    return "%d CPUs (%s), %.1f GiB memory" % (os.cpu_count(), model, mem_kb / 1024 / 1024)


def need_binary():
    if not os.access(BIN, os.X_OK):
        sys.exit("bench: no program at %s; build it first (cmake --build build) or set STIKKEL_BIN" % BIN)


def fresh_dir(parent, name):
    path = os.path.join(parent, name)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path

"""A probe client: measures how long the program leaves X events unanswered.

It runs as a process of its own with its own X connection and asks one of
the program's windows, again and again, for something only the program's
main loop can answer: an editres request (the Athena shells answer the
editres protocol; the note shells too). The program's first step on such a
request is to ask the probe, as owner of a selection, for the command; the
probe times the ClientMessage it sent until that SelectionRequest arrives,
refuses the conversion (so the program does nothing more) and sends the
next request after a short pause. While the program is busy, or waits in a
loop of its own for some reply, the request stays unanswered: the longest
time a request waited is the longest the program did not answer.

    python3 xprobe.py DISPLAY WINDOW [INTERVAL_MS]

prints one line "sent answered" (CLOCK_MONOTONIC seconds) per answer, and
on standard input's end (or SIGTERM) a last line "sent -" for a request
still waiting, then exits. Probe (below) runs it from Python."""

import ctypes
import ctypes.util
import os
import select
import signal
import subprocess
import sys
import threading
import time

PROTOCOL_VERSION = 5
CLIENT_MESSAGE = 33
SELECTION_REQUEST = 30
SELECTION_NOTIFY = 31


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("l", ctypes.c_long * 5)]


class _SelectionRequest(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("owner", ctypes.c_ulong), ("requestor", ctypes.c_ulong),
                ("selection", ctypes.c_ulong), ("target", ctypes.c_ulong), ("property", ctypes.c_ulong),
                ("time", ctypes.c_ulong)]


class _SelectionNotify(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("requestor", ctypes.c_ulong), ("selection", ctypes.c_ulong),
                ("target", ctypes.c_ulong), ("property", ctypes.c_ulong), ("time", ctypes.c_ulong)]


class _XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xclient", _ClientMessage), ("xselectionrequest", _SelectionRequest),
                ("xselection", _SelectionNotify), ("pad", ctypes.c_long * 24)]


def _xlib():
    x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XDefaultRootWindow.restype = ctypes.c_ulong
    x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XCreateSimpleWindow.restype = ctypes.c_ulong
    x.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + \
        [ctypes.c_uint] * 3 + [ctypes.c_ulong] * 2
    x.XSetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                             ctypes.POINTER(_XEvent)]
    x.XFlush.argtypes = [ctypes.c_void_p]
    x.XPending.argtypes = [ctypes.c_void_p]
    x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(_XEvent)]
    x.XConnectionNumber.argtypes = [ctypes.c_void_p]
    x.XSetErrorHandler.argtypes = [ctypes.c_void_p]
    return x


_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)


def run(display_name, target, interval, out, stop):
    """Pings `target` until stop() is true; writes "sent answered" lines."""
    x = _xlib()
    dpy = x.XOpenDisplay(display_name.encode())
    if not dpy:
        raise SystemExit("xprobe: cannot open display " + display_name)
    ignore = _ERROR_HANDLER(lambda d, e: 0)  # the program's window may go away
    x.XSetErrorHandler(ctypes.cast(ignore, ctypes.c_void_p))
    win = x.XCreateSimpleWindow(dpy, x.XDefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0)
    editres = x.XInternAtom(dpy, b"Editres", 0)
    comm = x.XInternAtom(dpy, b"StikkelProbe", 0)
    x.XSetSelectionOwner(dpy, comm, win, 0)
    fd = x.XConnectionNumber(dpy)
    ident = 0
    sent = None
    next_send = time.monotonic()
    ev = _XEvent()
    while not stop():
        now = time.monotonic()
        if sent is None and now >= next_send:
            ident = (ident + 1) % 256
            ping = _XEvent()
            ping.xclient.type = CLIENT_MESSAGE
            ping.xclient.window = target
            ping.xclient.message_type = editres
            ping.xclient.format = 32
            ping.xclient.l[0] = 0  # CurrentTime
            ping.xclient.l[1] = comm
            ping.xclient.l[2] = ident
            ping.xclient.l[3] = PROTOCOL_VERSION
            x.XSendEvent(dpy, target, 0, 0, ctypes.byref(ping))
            x.XFlush(dpy)
            sent = time.monotonic()
        wait = 0.05 if sent is not None else max(0.0, next_send - time.monotonic())
        if not x.XPending(dpy):
            select.select([fd], [], [], wait)
        while x.XPending(dpy):
            x.XNextEvent(dpy, ctypes.byref(ev))
            if ev.type != SELECTION_REQUEST:
                continue
            req = ev.xselectionrequest
            if sent is not None:
                answered = time.monotonic()
                out.write("%.6f %.6f\n" % (sent, answered))
                out.flush()
                sent = None
                next_send = answered + interval
            # Refused: the program drops the request there.
            notify = _XEvent()
            notify.xselection.type = SELECTION_NOTIFY
            notify.xselection.requestor = req.requestor
            notify.xselection.selection = req.selection
            notify.xselection.target = req.target
            notify.xselection.time = req.time
            notify.xselection.property = 0
            x.XSendEvent(dpy, req.requestor, 0, 0, ctypes.byref(notify))
            x.XFlush(dpy)
    if sent is not None:
        out.write("%.6f -\n" % sent)
        out.flush()


class Probe:
    """Runs xprobe.py against one window while a test or a benchmark acts.
    After stop(), unanswered(t0, t1) is the longest time the program left a
    request waiting between t0 and t1 (a request still waiting at the stop
    counts until then)."""

    def __init__(self, env, window, interval_ms=10):
        self.proc = subprocess.Popen([sys.executable, os.path.abspath(__file__), env["DISPLAY"], str(window),
                                      str(interval_ms)], env=env, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, text=True)
        self.samples = []  # (sent, answered or None)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        self.stopped = None

    def _read(self):
        for line in self.proc.stdout:
            sent, answered = line.split()
            self.samples.append((float(sent), None if answered == "-" else float(answered)))

    def wait_answer(self, timeout=10):
        """Waits for a first answer: the program is in its main loop."""
        deadline = time.monotonic() + timeout
        while not any(a is not None for _, a in self.samples):
            if time.monotonic() > deadline or self.proc.poll() is not None:
                raise AssertionError("the program never answered the probe")
            time.sleep(0.01)

    def answered_since(self, t0):
        """Whether a request sent at t0 or later has been answered."""
        return any(s >= t0 and a is not None for s, a in list(self.samples))

    def stop(self):
        if self.stopped is None:
            self.proc.stdin.close()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
            self._reader.join(5)
            self.stopped = time.monotonic()
        return self.samples

    def unanswered(self, t0, t1=None):
        """Seconds of the longest wait of a request that was waiting at
        some moment between t0 and t1 (the stop by default), cut to that
        span."""
        end = t1 if t1 is not None else (self.stopped or time.monotonic())
        longest = 0.0
        for sent, answered in list(self.samples):
            done = answered if answered is not None else (self.stopped or time.monotonic())
            if done < t0 or sent > end:
                continue
            longest = max(longest, min(done, end) - max(sent, t0))
        return longest


def _main():
    display_name, window = sys.argv[1], int(sys.argv[2], 0)
    interval = (int(sys.argv[3]) if len(sys.argv) > 3 else 10) / 1000.0
    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: done.set())
    threading.Thread(target=lambda: (sys.stdin.read(), done.set()), daemon=True).start()
    run(display_name, window, interval, sys.stdout, done.is_set)


if __name__ == "__main__":
    _main()

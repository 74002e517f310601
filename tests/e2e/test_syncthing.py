"""Two machines sharing their notes through Syncthing: two real Syncthing
daemons (listening and discovering on 127.0.0.1 only: no relays, no global
discovery, no NAT traversal, no usage reports) share two note directories,
and one stikkel runs on each, on two X displays. What is typed and saved on
one shows on the other, created notes come and destroyed notes go, a note
changed on both at once keeps both texts on both, and so do two notes made
under the same number while the machines were apart. Twenty rounds of random
edits on both sides lose nothing (STIKKEL_SYNC_SEED repeats a run,
STIKKEL_SYNC_ROUNDS sets how many rounds). The latency from a save on A to
the note shown on B is measured and printed."""

import json
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import time
import unittest
import urllib.request
import xml.etree.ElementTree as ET

from e2e import E2ETest, XSession, choose_from_main_menu, make_note_dir, note_file, wait_for
from faults import FILE_ENTRIES, choose_note_menu_entry, parse_note, sync_note, type_into_note

SYNCTHING = shutil.which("syncthing")
ROUNDS = int(os.environ.get("STIKKEL_SYNC_ROUNDS", "20"))
SEED = int(os.environ.get("STIKKEL_SYNC_SEED", str(int(time.time()))))
TOLD = "Stikkel Notes Changed"
STIGNORE = "// stikkel: per machine, never shared\n.recovery\n.lock\nsk1.*\n"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Daemon:
    """One Syncthing with a home of its own, configured before its first
    start to stay on 127.0.0.1, then through its REST API."""

    def __init__(self, tmp, name):
        self.home = os.path.join(tmp, "st-" + name)
        self.port = free_port()
        self.gui = free_port()
        self.key = "stikkel-test-key-" + name
        subprocess.run([SYNCTHING, "generate", "--home=" + self.home, "--no-default-folder", "--skip-port-probing"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Nothing may reach past this machine from the first moment on, so
        # these options are in its configuration before it starts.
        path = os.path.join(self.home, "config.xml")
        tree = ET.parse(path)
        options = tree.getroot().find("options")
        for tag, value in (("globalAnnounceEnabled", "false"), ("localAnnounceEnabled", "false"),
                           ("relaysEnabled", "false"), ("natEnabled", "false"), ("urAccepted", "-1"),
                           ("crashReportingEnabled", "false"), ("autoUpgradeIntervalH", "0"),
                           ("startBrowser", "false")):
            element = options.find(tag)
            if element is None:
                element = ET.SubElement(options, tag)
            element.text = value
        for element in options.findall("listenAddress"):
            options.remove(element)
        ET.SubElement(options, "listenAddress").text = "tcp://127.0.0.1:%d" % self.port
        tree.write(path)
        self.id = subprocess.run([SYNCTHING, "serve", "--home=" + self.home, "--device-id"], check=True,
                                 capture_output=True, text=True).stdout.strip()
        env = dict(os.environ, STNOUPGRADE="1", STNORESTART="1")
        self.log = open(os.path.join(tmp, "syncthing-%s.log" % name), "wb")
        self.proc = subprocess.Popen([SYNCTHING, "serve", "--home=" + self.home, "--no-browser", "--no-restart",
                                      "--gui-address=127.0.0.1:%d" % self.gui, "--gui-apikey=" + self.key],
                                     env=env, stdout=self.log, stderr=subprocess.STDOUT)
        wait_for(self.up, timeout=30, interval=0.2, what="syncthing %s to answer" % name)

    def rest(self, method, path, body=None):
        data = json.dumps(body).encode() if body is not None else None
        request = urllib.request.Request("http://127.0.0.1:%d%s" % (self.gui, path), data=data, method=method,
                                         headers={"X-API-Key": self.key, "Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=10) as reply:
            text = reply.read()
        return json.loads(text) if text.strip() else None

    def up(self):
        try:
            return self.rest("GET", "/rest/system/ping") == {"ping": "pong"}
        except OSError:
            return False

    def share(self, other, folder):
        self.rest("POST", "/rest/config/devices", {"deviceID": other.id, "name": "other",
                                                   "addresses": ["tcp://127.0.0.1:%d" % other.port]})
        self.rest("POST", "/rest/config/folders", {
            "id": "notes", "label": "notes", "path": folder, "type": "sendreceive",
            "devices": [{"deviceID": self.id}, {"deviceID": other.id}],
            "fsWatcherEnabled": True, "fsWatcherDelayS": 1, "rescanIntervalS": 3600, "maxConflicts": -1})

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.log.close()


def notes_in(note_dir):
    """{file name: (name, text)} of the note files of a directory."""
    out = {}
    for name in os.listdir(note_dir):
        if not name.startswith("note") or name.endswith(".tmp"):
            continue
        try:
            with open(os.path.join(note_dir, name), "rb") as f:
                note = parse_note(f.read())
        except Exception:
            continue
        out[name] = (note["name"], note["text"])
    return out


@unittest.skipIf(SYNCTHING is None, "syncthing is not installed")
class SyncthingTest(E2ETest):

    def setUp(self):
        super().setUp()
        self.y = XSession()
        self.daemons = []
        self.addCleanup(self.y.close)
        self.addCleanup(lambda: [d.stop() for d in self.daemons])
        self.home_a = os.path.join(self.x.tmp, "a")
        self.home_b = os.path.join(self.x.tmp, "b")
        self.dir_a = make_note_dir(self.home_a, {"note1": note_file("Groceries", "milk\n", x=40, y=120),
                                                 "note2": note_file("Work", "call Bob\n", x=400, y=120)})
        self.dir_b = make_note_dir(self.home_b)
        for d in (self.dir_a, self.dir_b):
            with open(os.path.join(d, ".stignore"), "w") as f:
                f.write(STIGNORE)
        a, b = Daemon(self.x.tmp, "a"), Daemon(self.x.tmp, "b")
        self.daemons = [a, b]
        a.share(b, self.dir_a)
        b.share(a, self.dir_b)
        wait_for(lambda: notes_in(self.dir_b).keys() == {"note1", "note2"}, timeout=60, interval=0.2,
                 what="the first sync")
        self.a = self.start("-sv", "-interval", "60", home=self.home_a)
        self.b = self.start("-sv", "-interval", "60", home=self.home_b, session=self.y)
        for session in (self.x, self.y):
            session.wait_mapped("Groceries")
            session.wait_mapped("Work")

    def save(self, session, wid):
        choose_note_menu_entry(session, wid, "File", FILE_ENTRIES.index("Save"))

    def same_on_both(self):
        a, b = notes_in(self.dir_a), notes_in(self.dir_b)
        return a == b and a

    def texts(self, note_dir):
        return b"\n".join(text for _, text in notes_in(note_dir).values())

    def test_two_machines_share_their_notes(self):
        # Typed and saved on A: B shows it (typing on B then saves both).
        wid = self.x.wait_mapped("Groceries")
        type_into_note(self.x, wid, "eggs ")
        sync_note(self.x, wid)
        self.save(self.x, wid)
        wait_for(lambda: notes_in(self.dir_b).get("note1", (0, b""))[1] == b"eggs milk\n", timeout=30,
                 what="the saved text on B")
        time.sleep(1)  # B's watch settles
        wid_b = self.y.wait_mapped("Groceries")
        type_into_note(self.y, wid_b, "B ")
        sync_note(self.y, wid_b)
        self.save(self.y, wid_b)
        wait_for(lambda: notes_in(self.dir_b)["note1"][1] == b"B eggs milk\n", what="B's window held A's text")

        # Created on A: appears on B; the latency of a save on A to the note
        # shown on B is measured.
        choose_from_main_menu(self.x, self.x.mapped_window("stikkel"), "Create 3x5 Note")
        new = self.x.wait_mapped("Note 3")
        type_into_note(self.x, new, "created on A")
        sync_note(self.x, new)
        self.save(self.x, new)
        wait_for(lambda: "note3" in notes_in(self.dir_a), what="A's save")
        saved = time.monotonic()
        self.y.wait_mapped("Note 3", timeout=30)
        latency = time.monotonic() - saved
        sys.stderr.write("syncthing: a note saved on A showed on B after %.2f s\n" % latency)

        # Destroyed on A: goes on B.
        self.destroy(self.x, new)
        self.y.wait_unmapped("Note 3", timeout=30)
        wait_for(lambda: "note3" not in notes_in(self.dir_b), what="note3 gone on B")

        # The same note changed on both before they sync: both texts on both.
        self.daemons[0].rest("POST", "/rest/db/scan?folder=notes")  # A up to date first
        for d in self.daemons:
            d.rest("POST", "/rest/system/pause")
        wa, wb = self.x.wait_mapped("Work"), self.y.wait_mapped("Work")
        type_into_note(self.x, wa, "fromA ")
        type_into_note(self.y, wb, "fromB ")
        sync_note(self.x, wa)
        sync_note(self.y, wb)
        self.save(self.x, wa)
        self.save(self.y, wb)
        wait_for(lambda: b"fromA" in self.texts(self.dir_a) and b"fromB" in self.texts(self.dir_b),
                 what="both saves")
        for d in self.daemons:
            d.rest("POST", "/rest/system/resume")
        wait_for(lambda: self.same_on_both() and all(w in self.texts(self.dir_a) for w in (b"fromA", b"fromB")),
                 timeout=60, interval=0.5, what="both texts on both machines")

        self.both_end()

    def test_a_note_made_on_both_machines_while_apart_keeps_both(self):
        # Both give their new note the same number, note3.
        for d in self.daemons:
            d.rest("POST", "/rest/system/pause")
        for session, text in ((self.x, "madeA "), (self.y, "madeB ")):
            choose_from_main_menu(session, session.mapped_window("stikkel"), "Create 3x5 Note")
            wid = session.wait_mapped("Note 3")
            type_into_note(session, wid, text)
            sync_note(session, wid)
            self.save(session, wid)
        wait_for(lambda: b"madeA" in self.texts(self.dir_a) and b"madeB" in self.texts(self.dir_b), what="both saves")
        for d in self.daemons:
            d.rest("POST", "/rest/system/resume")
        both = lambda: self.same_on_both() and all(w in self.texts(self.dir_a) for w in (b"madeA", b"madeB"))
        wait_for(both, timeout=60, interval=0.5, what="both new notes on both machines")
        self.both_end()
        wait_for(both, timeout=60, interval=0.5, what="both new notes on both machines after the exits")
        # The engine kept one as a conflict copy: neither is doubled.
        texts = [text for _, text in notes_in(self.dir_a).values()]
        self.assertEqual((texts.count(b"madeA "), texts.count(b"madeB ")), (1, 1), notes_in(self.dir_a))

    def test_twenty_rounds_of_random_edits_lose_nothing(self):
        # Both machines type into the same two notes, often at once: the
        # engine makes conflict copies, which are notes too (and are typed
        # into as well, being found by their names), the programs keep both
        # versions of notes changed on both sides, and windows take the
        # other machine's text while they are typed into.
        started = time.monotonic()
        rng = random.Random(SEED)
        sys.stderr.write("syncthing: seed %d (STIKKEL_SYNC_SEED repeats a run)\n" % SEED)
        words = []
        for round_number in range(ROUNDS):
            for side, session in (("a", self.x), ("b", self.y)):
                word = "r%d%s%d " % (round_number, side, rng.randint(100, 999))
                note_dir = self.dir_a if side == "a" else self.dir_b
                # A word counts once it is saved on its own side: a note
                # may go while it is typed into (its file deleted elsewhere,
                # as the other machine does with a conflict copy it moves to
                # a number of its own), and keys sent to a window that went
                # reach no note.
                if self.edit(session, rng.choice(["Groceries", "Work"]), word):
                    try:
                        wait_for(lambda: word.strip().encode() in self.texts(note_dir), timeout=5,
                                 what="the save of %s" % word)
                        words.append(word.strip().encode())
                    except AssertionError:
                        pass
            time.sleep(rng.uniform(0, 1.5))
        self.assertGreater(len(words), ROUNDS, "most edits were saved")
        rounds = time.monotonic() - started
        # Whatever is still unsaved (typed after a save began) is saved by
        # the exits.
        def all_there():
            texts_a, texts_b = self.texts(self.dir_a), self.texts(self.dir_b)
            return self.same_on_both() and all(w in texts_a and w in texts_b for w in words)
        self.both_end()
        missing = []
        try:
            wait_for(all_there, timeout=90, interval=0.5, what="every round's text on both machines")
            sys.stderr.write("syncthing: %d rounds took %.1f s; all %d saved words were on both machines %.1f s "
                             "later\n" % (ROUNDS, rounds, len(words), time.monotonic() - started - rounds))
        except AssertionError:
            texts_a, texts_b = self.texts(self.dir_a), self.texts(self.dir_b)
            missing = [w for w in words if w not in texts_a or w not in texts_b]
            raise AssertionError("missing after sync: %r\nA: %r\nB: %r" % (missing, notes_in(self.dir_a),
                                                                          notes_in(self.dir_b)))
        self.assertNotIn("stikkel:", self.a.stderr() + self.b.stderr())

    def both_end(self):
        for app in (self.a, self.b):
            app.signal(signal.SIGTERM)
        wait_for(lambda: self.a.proc.poll() is not None and self.b.proc.poll() is not None, timeout=30,
                 what="both to end")
        self.assertEqual((self.a.proc.returncode, self.b.proc.returncode), (0, 0))

    def edit(self, session, title, word):
        """Types word into the note of that title and saves it; false when
        the window went meanwhile (its file changed under it and it was
        made again) before the word was in. What is typed but not saved is
        saved by the exit."""
        for popup in session.find_windows(TOLD):
            session.xdotool("windowmove", popup["id"], 1500, 900)  # out of the notes' way
        wid = session.mapped_window(title)
        if wid is None:
            return False
        try:
            session.xdotool("windowraise", session.outer_window(wid))
            type_into_note(session, wid, word)
            sync_note(session, wid)
        except AssertionError:
            return False
        try:
            self.save(session, wid)
        except AssertionError:
            pass
        return True

    def destroy(self, session, wid):
        menu = ["Menu", "-", "Hide", "Erase", "-", "Destroy", "-", "Name", "Anchor", "UnAnchor",
                "SetAlarm", "UnsetAlarm", "InsertCalendar", "InsertDate"]
        form = [w for w in session.descendants(wid) if w["depth"] == 1][0]
        buttons = sorted((w for w in session.descendants(wid) if w["depth"] == 2 and w["y"] == form["y"]),
                         key=lambda w: w["x"])
        before = session.viewable_overrides()
        session.choose_from_menu(buttons[1]["id"], menu, "Destroy")
        popup = session.wait_new_override(before)
        confirm = session.confirm_buttons(popup)[0]
        session.click(confirm["x"] + confirm["w"] // 2, confirm["y"] + confirm["h"] // 2)


if __name__ == "__main__":
    unittest.main()

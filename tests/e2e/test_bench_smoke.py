"""The benchmarks in bench/ still run: each once with a few notes and short
durations, checking the table it prints (not its timings)."""

import os
import subprocess
import sys
import unittest

from e2e import SOURCE_DIR

BENCH = os.path.join(SOURCE_DIR, "bench")


def rows(output, first_cell):
    """Cells of the Markdown table rows whose first cell is first_cell."""
    out = []
    for line in output.splitlines():
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if line.startswith("|") and cells[0] == first_cell:
            out.append(cells)
    return out


def section(output, title):
    """The part of the output from the line beginning with title up to the
    next title."""
    start = output.index(title)
    end = output.find("\n## ", start + 1)
    return output[start:] if end < 0 else output[start:end]


def header(output):
    """The cells of the first table's header row."""
    for line in output.splitlines():
        if line.startswith("|"):
            return [c.strip() for c in line.strip().strip("|").split("|")]
    return []


class BenchSmokeTest(unittest.TestCase):

    def bench(self, name, *args):
        # Generous: a bench starts the program several times, each with its
        # own window manager, and the machine may be busy with other tests.
        try:
            p = subprocess.run([sys.executable, os.path.join(BENCH, name)] + list(args), capture_output=True,
                               text=True, timeout=480, stdin=subprocess.DEVNULL)
        except subprocess.TimeoutExpired as e:
            printed = (e.stderr or b"").decode(errors="replace")[-3000:]
            self.fail("bench/%s did not end; it printed:\n%s" % (name, printed))
        self.assertEqual(p.returncode, 0, p.stderr[-3000:])
        return p.stdout

    def test_startup(self):
        out = self.bench("startup", "--sizes", "3,6", "--runs", "1", "--no-xpad", "--no-install")
        self.assertIn("## Start-up", out)
        for n, visible in (("3", "2"), ("6", "5")):
            row = rows(out, n)
            self.assertEqual(len(row), 1, out)
            self.assertEqual(row[0][1], visible, "note 3 is one of the hidden ones")
            self.assertEqual(row[0][9], "0", "an untouched note is not rewritten at exit")
        self.assertIn("xpad: skipped", out)

    def test_idle(self):
        out = self.bench("idle", "--notes", "5", "--duration", "2", "--step", "1", "--settle", "0.5")
        self.assertIn("## Idle: 5 notes", out)
        self.assertEqual(len(rows(out, "per minute")), 1, out)
        self.assertIn("Note files written while idle: 0", out)

    def test_cascade(self):
        out = self.bench("cascade", "--sizes", "5", "--wm", "twm,none", "--limit", "20")
        self.assertIn("## Cascade Notes twice in a row", out)
        for wm in ("twm", "none"):
            row = rows(out, wm)
            self.assertEqual([r[3] for r in row], ["1", "2"], out)
            self.assertEqual(row[0][4], "3", "the visible notes but the anchor (note 3 is hidden)")
            self.assertEqual(row[1][4], "0", "the second cascade moves nothing")

    def test_findnote(self):
        out = self.bench("findnote", "--sizes", "300", "--runs", "1")
        self.assertIn("## Find A Note", out)
        row = rows(out, "300")
        self.assertEqual(len(row), 1, out)
        self.assertEqual(row[0][5], "1 of 1", "the last note of a long list is chosen")

    def test_save(self):
        out = self.bench("save", "--sizes", "4", "--runs", "1", "--pass-notes", "0", "--save-all-sizes", "4")
        self.assertIn("## Saving at exit", out)
        save_all, exit_table = section(out, "## Save All Notes"), section(out, "## Saving at exit")
        row = rows(exit_table, "4")
        self.assertEqual(len(row), 1, out)
        moved, written_moved, written_still, leftovers = row[0][1], row[0][4], row[0][7], row[0][9]
        self.assertEqual(moved, "3", "the visible notes (note 3 is hidden)")
        self.assertEqual(written_moved, moved, "every moved note is written")
        self.assertEqual(written_still, "0", "no note is written when none changed")
        self.assertEqual(leftovers, "0", "no temporary file is left")
        head = header(save_all)
        written = head.index("files written")
        moved_row, still_row = [r for r in rows(save_all, "4") if r[1] in ("all moved",
                                                                           "none changed, first after start-up")]
        self.assertEqual(moved_row[written], "3", "Save All writes every moved note")
        self.assertEqual(still_row[written], "0")

    def test_journal(self):
        # The same program on both sides: no build of an older commit here.
        binary = os.environ.get("STIKKEL_BIN", os.path.join(SOURCE_DIR, "build", "stikkel"))
        out = self.bench("journal", "--baseline", binary, "--nojournal", binary,
                         "--runs", "1", "--chars", "30", "--delay", "40", "--idle", "1",
                         "--stall-sizes", "1", "--locales", "C", "--stall-chars", "20")
        self.assertIn("## Typing 30 characters", out)
        self.assertIn("## Typing stall: 20 characters", out)
        stall = rows(out, "1 KiB")
        self.assertEqual(len(stall), 1, out)
        self.assertEqual(stall[0][1], "C")
        for cell in stall[0][2:8]:
            self.assertGreaterEqual(float(cell), 0, out)
        self.assertGreaterEqual(float(stall[0][8]), 1, "the journal wrote what was typed")
        for size in ("short", "60 KiB"):
            row = rows(out, size)
            self.assertEqual(len(row), 1, out)
            self.assertGreaterEqual(int(row[0][7]), 1, "the journal wrote what was typed")
        for build in ("without journal", "with journal"):
            row = rows(out, build)
            self.assertEqual(len(row), 1, out)
            if row[0][2] != "-":
                self.assertEqual(row[0][2], "0", "an idle program with an unsaved note waits without waking")

    def test_text(self):
        out = self.bench("text", "--only", "keys,memory", "--keys", "10")
        self.assertIn("## Typing", out)
        for label in ("1 KB", "1 MB"):
            row = rows(out, label)
            self.assertEqual(len(row), 1, out)
            self.assertEqual(row[0][2], "10", "every key typed is kept")
        self.assertIn("## 100 short notes with -bs 1000000", out)

    def test_paired(self):
        binary = os.environ.get("STIKKEL_BIN", os.path.join(SOURCE_DIR, "build", "stikkel"))
        out = self.bench("paired", "--baseline", binary, "--new", binary, "--floor", "--startup", "4:2",
                         "--sizes", "1", "--locales", "C")
        found = rows(out, "start-up 4 notes, 2 shown")
        self.assertEqual([r[1] for r in found], ["floor", "baseline", "new"], out)
        self.assertRegex(found[2][4], r"^\d+\.\d\d / \d+\.\d\d$", "CPU and memory against the floor's")
        self.assertEqual([r[1] for r in rows(out, "1 KiB note, C")], ["baseline", "new"], out)


if __name__ == "__main__":
    unittest.main()

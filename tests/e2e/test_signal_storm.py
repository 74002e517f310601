"""Signal storms: a burst of SIGHUP, SIGTERM, SIGINT and SIGQUIT. With -sv
the program saves once and exits 0 with every note intact; without it, it
puts up prompts, keeps running, and the No answer ends it with no file
changed."""

import os
import signal
import unittest

from e2e import E2ETest, make_note_dir, note_file, wait_for
from faults import DirectoryWatch, child_windows, sync_note, note_dir_state, parse_note, type_into_note

STORM = [signal.SIGHUP, signal.SIGTERM, signal.SIGINT, signal.SIGQUIT] * 100


class SignalStormTest(E2ETest):

    def setUp(self):
        super().setUp()
        self.home = os.path.join(self.x.tmp, "home")
        self.titles = {"note1": "One", "note2": "Two", "note3": "Three"}
        self.note_dir = make_note_dir(self.home, [(name, note_file(title, "%s text\n" % title, x=100 + 350 * i, y=120))
                                                  for i, (name, title) in enumerate(sorted(self.titles.items()))])
        self.before, _ = note_dir_state(self.note_dir)

    def start_and_edit(self, *args):
        app = self.start("-interval", "60", *args, home=self.home)
        wids = {t: self.x.wait_mapped(t) for t in self.titles.values()}
        type_into_note(self.x, wids["One"], "1")
        type_into_note(self.x, wids["Three"], "3")
        sync_note(self.x, wids["Three"])
        return app

    def test_burst_with_save_notes_saves_once(self):
        app = self.start_and_edit("-sv")
        watch = DirectoryWatch(self.note_dir)
        try:
            for sig in STORM:
                try:
                    os.kill(app.proc.pid, sig)
                except ProcessLookupError:
                    break
            self.assertEqual(app.wait_exit(), 0, app.stderr())
            moved_in = watch.poll()
        finally:
            watch.close()
        self.assertEqual(moved_in, {"note1": 1, "note3": 1}, "each changed note is written once")
        after, others = note_dir_state(self.note_dir)
        self.assertEqual(others, [])
        self.assertEqual(after["note2"], self.before["note2"])
        self.assertEqual(parse_note(after["note1"])["text"], b"1One text\n")
        self.assertEqual(parse_note(after["note3"])["text"], b"3Three text\n")
        self.assertNotIn("stikkel:", app.stderr())

    def test_burst_without_save_notes_prompts_and_no_ends_it(self):
        app = self.start_and_edit()
        for sig in STORM[:40]:
            os.kill(app.proc.pid, sig)
        prompt = self.x.wait_mapped("Save Notes Prompt")
        wait_for(lambda: len(self.x.find_windows("Save Notes Prompt")) >= 2, what="several prompts")
        self.assertIsNone(app.proc.poll(), "the program waits for an answer")
        # The No button: the one before the last (Cancel) of the prompt's form.
        form = child_windows(self.x, prompt)[0][0]
        no = child_windows(self.x, form)[-2]
        self.x.click(no[1] + no[3] // 2, no[2] + no[4] // 2)
        self.assertEqual(app.wait_exit(), 0, app.stderr())
        after, others = note_dir_state(self.note_dir)
        self.assertEqual((after, others), (self.before, []), "No changes no file")


if __name__ == "__main__":
    unittest.main()

"""The manual page and the desktop entry: clean under their linters, and the
manual page documents every option and application resource the program
has."""

import os
import re
import subprocess
import unittest

from e2e import SOURCE_DIR

MAN_PAGE = os.path.join(SOURCE_DIR, "doc", "stikkel.1")
DESKTOP_ENTRY = os.path.join(SOURCE_DIR, "resources", "stikkel.desktop")


def run(argv, **env):
    return subprocess.run(argv, capture_output=True, text=True,
                          env=dict(os.environ, LC_ALL="C.UTF-8", **env))


def section(text, title):
    """The rendered text of one section of the manual page."""
    m = re.search(r"^%s\n(.*?)(?=^[A-Z][A-Z ]+\n|\Z)" % re.escape(title), text, re.S | re.M)
    if not m:
        raise AssertionError("no section " + title)
    return m.group(1)


class ManPageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        p = run(["man", "--warnings", "-l", MAN_PAGE], MANWIDTH="200", MAN_KEEP_FORMATTING="")
        cls.render = p
        # One line per paragraph, no hyphenation artefacts from narrow widths.
        cls.text = re.sub(r"\x08.", "", p.stdout)

    def test_groff_finds_nothing_to_warn_about(self):
        p = run(["groff", "-ww", "-z", "-man", MAN_PAGE])
        self.assertEqual((p.returncode, p.stderr), (0, ""))

    def test_man_renders_it_without_warnings(self):
        self.assertEqual(self.render.returncode, 0, self.render.stderr)
        self.assertEqual(self.render.stderr, "")
        self.assertTrue(self.text.startswith("STIKKEL(1)"))

    def test_sections_in_order(self):
        titles = re.findall(r"^([A-Z][A-Z ]+)$", self.text, re.M)
        expected = ["NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "THE CONTROL WINDOW", "THE MAIN MENU",
                    "NOTE WINDOWS", "GROWING NOTES", "NOTE FILES", "X RESOURCES", "LOCALE AND FONTS", "FILES", "ENVIRONMENT", "EXIT STATUS",
                    "SIGNALS", "BUGS", "SEE ALSO"]
        self.assertEqual(titles, expected)

    def test_every_option_of_the_help_text_is_documented(self):
        with open(os.path.join(SOURCE_DIR, "resources", "help.txt")) as f:
            help_options = set(re.findall(r"^    (-\S+)", f.read(), re.M))
        help_options |= {"-?"}
        self.assertEqual(len(help_options), 18)  # -help and -? counted apart
        options = section(self.text, "OPTIONS")
        synopsis = section(self.text, "SYNOPSIS")
        for option in help_options:
            pattern = r"(?m)^\s+%s\b|, %s$" % (re.escape(option), re.escape(option))
            self.assertTrue(re.search(pattern, options), "OPTIONS lacks " + option)
            self.assertIn(option, synopsis)

    def test_every_application_resource_with_its_class(self):
        with open(os.path.join(SOURCE_DIR, "src", "app", "config.cc")) as f:
            table = re.findall(r'RES\("(\w+)", "(\w+)"', f.read())
        self.assertEqual(len(table), 18)
        resources = section(self.text, "X RESOURCES")
        for name, cls in table:
            self.assertTrue(re.search(r"(?m)^\s+%s \(class %s\)$" % (name, cls), resources),
                            "X RESOURCES lacks %s (class %s)" % (name, cls))

    def test_exit_statuses(self):
        statuses = re.findall(r"(?m)^\s{7}(\d+)\s", section(self.text, "EXIT STATUS"))
        self.assertEqual(statuses, ["0", "1", "2", "255"])

    def test_commands_to_the_running_program_and_the_keys(self):
        options = section(self.text, "OPTIONS")
        synopsis = section(self.text, "SYNOPSIS")
        for option in ("-new", "-text", "-toggle", "-raise", "-quit"):
            self.assertTrue(re.search(r"(?m)^\s+%s\b" % re.escape(option), options), "OPTIONS lacks " + option)
            self.assertIn(option, synopsis)
        notes = section(self.text, "NOTE WINDOWS")
        for key in ("Ctrl+N", "Ctrl+S", "Ctrl+F", "Ctrl+Shift+F", "Ctrl+W"):
            self.assertTrue(re.search(r"(?m)^\s+%s(  |$)" % re.escape(key), notes), "NOTE WINDOWS lacks " + key)


class DesktopEntryTest(unittest.TestCase):
    def test_validates_cleanly(self):
        p = run(["desktop-file-validate", DESKTOP_ENTRY])
        self.assertEqual((p.returncode, p.stdout, p.stderr), (0, "", ""))

    def groups(self):
        groups, current = {}, None
        with open(DESKTOP_ENTRY) as f:
            for line in f:
                line = line.rstrip("\n")
                if line.startswith("["):
                    current = groups.setdefault(line.strip("[]"), {})
                elif "=" in line:
                    key, value = line.split("=", 1)
                    current[key] = value
        return groups

    def test_runs_the_program(self):
        entry = self.groups()["Desktop Entry"]
        self.assertEqual(entry["Exec"], "stikkel")
        self.assertEqual(entry["StartupWMClass"], "Kleebord")

    def test_new_note_action(self):
        groups = self.groups()
        self.assertEqual(groups["Desktop Entry"]["Actions"], "new-note;")
        self.assertEqual(groups["Desktop Action new-note"], {"Name": "New Note", "Exec": "stikkel -new"})


if __name__ == "__main__":
    unittest.main()

"""doc/make_screenshot.sh, which makes the README's screenshot, still works:
it only writes its picture once the main menu has come up over the notes."""

import os
import shutil
import subprocess
import tempfile
import unittest

from e2e import BIN, SOURCE_DIR


class ScreenshotScriptTest(unittest.TestCase):
    def test_makes_the_picture(self):
        tmp = tempfile.mkdtemp(prefix="stikkel-shot-test-")
        try:
            out = os.path.join(tmp, "shot.png")
            p = subprocess.run([os.path.join(SOURCE_DIR, "doc", "make_screenshot.sh"), BIN, out],
                               capture_output=True, text=True, timeout=120)
            self.assertEqual(p.returncode, 0, p.stderr)
            size = subprocess.run(["/usr/bin/identify", "-format", "%wx%h", out], capture_output=True,
                                  text=True, check=True).stdout
            self.assertEqual(size, "1000x560")
        finally:
            shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()

#!/usr/bin/env python3
"""check_exe_resources.py on a built exe and on copies of it with one fault each (a byte or two
changed in place, so that the image stays whole): the exe passes, each copy fails naming its
fault. Usage: check_exe_resources_test.py EXE"""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
CHECK = os.path.join(HERE, "check_exe_resources.py")
sys.path.insert(0, HERE)
import check_exe_resources  # noqa: E402

EXE = None


def run_check(image):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "TXQNativeConnector.exe")
        with open(path, "wb") as out:
            out.write(image)
        done = subprocess.run([sys.executable, CHECK, path], capture_output=True, text=True, timeout=60)
        return done.returncode, done.stdout + done.stderr


def replaced(image, old, new):
    assert len(old) == len(new) and image.count(old) == 1, old
    return image.replace(old, new)


def group_entry_changed(image, size, field, value):
    """The image with one field of the icon group's entry for `size` changed."""
    resources, _ = check_exe_resources.read_resources(image)
    group = resources[(check_exe_resources.RT_GROUP_ICON, 1)]
    at = image.find(group)
    count = struct.unpack_from("<H", group, 4)[0]
    for i in range(count):
        entry = at + 6 + 14 * i
        if (image[entry] or 256) == size:
            changed = bytearray(image)
            offset, fmt = {"width": (0, "<BB"), "id": (12, "<H")}[field]
            packed = struct.pack(fmt, value, value) if field == "width" else struct.pack(fmt, value)
            changed[entry + offset:entry + offset + len(packed)] = packed
            return bytes(changed)
    raise AssertionError("no %d-pixel entry" % size)


class CheckExeResources(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(EXE, "rb") as source:
            cls.image = source.read()

    def test_the_built_exe_passes(self):
        code, output = run_check(self.image)
        self.assertEqual(code, 0, output)
        self.assertIn("icon of 16 20 24 32 40 48 64 256 pixels", output)

    def test_each_fault_fails_naming_it(self):
        image = self.image
        cases = [
            ("system DPI aware only", replaced(image, b">PerMonitorV2<", b">PerMonitorV1<"),
             "lacks <dpiAwareness"),
            ("no fallback for older systems", replaced(image, b">true/pm<", b">true/xx<"), "lacks <dpiAware "),
            ("another publisher's key", replaced(image, b'"6595b64144ccf1df"', b'"6595b64144ccf1d0"'),
             "does not depend on Common Controls 6"),
            ("Common Controls 5", replaced(image, b'Common-Controls" version="6.0.0.0"',
                                           b'Common-Controls" version="5.0.0.0"'),
             "does not depend on Common Controls 6"),
            ("an entry announcing the wrong size", group_entry_changed(image, 20, "width", 21),
             "its entry says 21 x 21"),
            ("an entry naming a missing image", group_entry_changed(image, 40, "id", 999),
             "names image 999, which is missing"),
            ("no version resource's fixed part", replaced(image, struct.pack("<I", 0xFEEF04BD), b"\0\0\0\0"),
             "no fixed part"),
        ]
        for name, broken, message in cases:
            with self.subTest(name):
                code, output = run_check(broken)
                self.assertEqual(code, 1, output)
                self.assertIn(message, output)

    def test_a_file_that_is_no_image_is_refused(self):
        code, output = run_check(b"MZ" + b"\0" * 100)
        self.assertEqual(code, 2, output)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print("usage: check_exe_resources_test.py EXE", file=sys.stderr)
        sys.exit(2)
    EXE = sys.argv.pop(1)
    unittest.main()

#!/usr/bin/env python3
"""check_layers.py on small source trees made in a temporary folder: a cycle through three
folders fails naming its includes, a tree without one passes, and a folder that is no source tree
is refused rather than passed."""

import os
import subprocess
import sys
import tempfile
import unittest

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_layers.py")


def make_tree(root, files):
    for path, text in files.items():
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as out:
            out.write(text)


def run_check(files):
    with tempfile.TemporaryDirectory() as root:
        make_tree(root, files)
        done = subprocess.run([sys.executable, CHECK, root], capture_output=True, text=True, timeout=60)
        return done.returncode, done.stdout + done.stderr


class CheckLayers(unittest.TestCase):
    def test_a_cycle_through_three_folders_fails_naming_each_include(self):
        # a -> b and b -> c by two lines each, c -> a by one: the line to remove is c's.
        code, output = run_check({
            "a/x.cpp": '#include "a/x.hpp"\n#include "b/y.hpp"\n',
            "a/x.hpp": '#pragma once\n#include "b/y.hpp"\n',
            "b/y.hpp": '#pragma once\n  #  include "c/z.hpp"\n',
            "b/y.cpp": '#include "c/z.hpp"\n',
            "c/z.hpp": "#pragma once\n",
            "c/z.cpp": '#include "c/z.hpp"\n\n#include "a/x.hpp"\n',
            # Outside the cycle: it depends on it, and nothing depends on it.
            "d/w.cpp": '#include "a/x.hpp"\n',
        })
        self.assertEqual(code, 1, output)
        self.assertIn("the folders a, b, c include each other", output)
        self.assertIn('c -> a -> b -> c, fewest lines to remove in c -> a:\n'
                      '    c/z.cpp:3: #include "a/x.hpp"\n', output)
        for place in ("a/x.cpp:2", "a/x.hpp:2", "b/y.cpp:1", "b/y.hpp:2"):
            self.assertIn(place, output)
        self.assertNotIn("d/w.cpp", output)

    def test_each_group_of_folders_in_a_cycle_is_named(self):
        code, output = run_check({
            "launch/steam_engine.cpp": '#include "update/digest.hpp"\n',
            "update/activation.cpp": '#include "launch/launch_arguments.hpp"\n',
            "update/protocol_registration.cpp": '#include "launch/launch_arguments.hpp"\n',
            "app/run.cpp": '#include "common/text.hpp"\n#include "update/activation.hpp"\n',
            "app/main.cpp": '#include "common/error.hpp"\n',
            "common/text.cpp": '#include "app/run.hpp"\n',
        })
        self.assertEqual(code, 1, output)
        self.assertIn("the folders launch, update include each other", output)
        self.assertIn("launch -> update -> launch, fewest lines to remove in launch -> update", output)
        self.assertIn("and update -> launch: update/activation.cpp:1, update/protocol_registration.cpp:1", output)
        self.assertIn("the folders app, common include each other", output)
        self.assertIn('common -> app -> common, fewest lines to remove in common -> app:\n'
                      '    common/text.cpp:1: #include "app/run.hpp"\n'
                      '    and app -> common: app/main.cpp:1, app/run.cpp:1\n', output)

    def test_layers_without_a_cycle_pass(self):
        # A diamond (app over clients and launch, both over common), includes within a folder,
        # and includes that name no folder of the tree.
        code, output = run_check({
            "app/main.cpp": '#include "clients/c.hpp"\n#include "launch/l.hpp"\n#include "app/main.hpp"\n',
            "app/main.hpp": '#include "build_config.hpp"\n',
            "clients/c.hpp": '#include "common/t.hpp"\n#include "clients/d.hpp"\n',
            "clients/d.hpp": '#include <common/t.hpp>\n',
            "launch/l.hpp": '#include "common/t.hpp"\n#include "nlohmann/json.hpp"\n',
            "common/t.hpp": '#include "common/u.hpp"\n// #include "app/main.hpp" is not there\n',
        })
        self.assertEqual(code, 0, output)

    def test_a_folder_without_source_folders_is_refused(self):
        code, output = run_check({"README.md": "not sources\n"})
        self.assertEqual(code, 2, output)


if __name__ == "__main__":
    unittest.main()

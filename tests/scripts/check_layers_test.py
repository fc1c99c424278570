#!/usr/bin/env python3
"""scripts/check-layers on a small fixture tree: a tree in order passes, and each kind
of fault is refused with the file and line that holds it."""

import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "check-layers")

# Three folders in order: dbxstream builds on the vocabulary, the transport on both and
# on the platform.
TREE = {
    "src/vocabulary/CMakeLists.txt": "tavrin_library(tavrin_vocabulary)\n",
    "src/vocabulary/dbx_error.h": "#pragma once\n#include <string>\n",
    "src/dbxstream/CMakeLists.txt": "tavrin_library(tavrin_dbxstream tavrin_vocabulary)\n",
    "src/dbxstream/channel.h": '#pragma once\n#include "vocabulary/dbx_error.h"\n',
    "src/platform/CMakeLists.txt": "add_library(tavrin_platform STATIC a.cpp)\n",
    "src/platform/clock_posix.cpp": "#include <unistd.h>\n",
    "src/transport/CMakeLists.txt": "tavrin_library(tavrin_transport tavrin_dbxstream tavrin_platform)\n",
    "src/transport/tcp_channel.cpp": '#include "transport/tcp_channel.h"\n#include "dbxstream/channel.h"\n'
                                     '#include "vocabulary/dbx_error.h"\n#include <asio.hpp>\n',
    "src/transport/tcp_channel.h": "#pragma once\n",
}


class CheckLayers(unittest.TestCase):
    def run_on(self, changes):
        with tempfile.TemporaryDirectory() as root:
            for path, text in {**TREE, **changes}.items():
                os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
                with open(os.path.join(root, path), "w", encoding="utf-8") as file:
                    file.write(text)
            done = subprocess.run([sys.executable, SCRIPT, "--root", root], capture_output=True, text=True)
            return done.returncode, done.stdout

    def test_a_tree_in_order_passes(self):
        code, output = self.run_on({})
        self.assertEqual(code, 0, output)

    def test_each_fault_is_named_with_its_file_and_line(self):
        cases = [
            ("an include against the layers",
             {"src/vocabulary/dbx_error.h": '#pragma once\n\n#include "dbxstream/channel.h"\n'},
             'src/vocabulary/dbx_error.h:3: vocabulary may not include dbxstream ("dbxstream/channel.h")'),
            ("an include of a folder the target does not link",
             {"src/dbxstream/CMakeLists.txt": "tavrin_library(tavrin_dbxstream)\n"},
             'src/dbxstream/channel.h:2: dbxstream includes vocabulary ("vocabulary/dbx_error.h") but its '
             "target tavrin_dbxstream does not link tavrin_vocabulary"),
            ("a link against the layers",
             {"src/vocabulary/CMakeLists.txt": "tavrin_library(tavrin_vocabulary tavrin_transport)\n"},
             "src/vocabulary/CMakeLists.txt: tavrin_vocabulary links tavrin_transport, but vocabulary "
             "may not use transport"),
            ("an operating-system header outside the platform",
             {"src/dbxstream/channel.h": "#pragma once\n#include <sys/socket.h>\n"},
             "src/dbxstream/channel.h:2: dbxstream includes an operating-system header <sys/socket.h>"),
            ("a socket header outside the transport",
             {"src/dbxstream/channel.h": "#pragma once\n#include <asio/ip/tcp.hpp>\n"},
             "src/dbxstream/channel.h:2: dbxstream includes a socket header <asio/ip/tcp.hpp>"),
        ]
        for name, changes, expected in cases:
            with self.subTest(name):
                code, output = self.run_on(changes)
                self.assertEqual(code, 1, output)
                self.assertIn(expected, output)


if __name__ == "__main__":
    unittest.main()

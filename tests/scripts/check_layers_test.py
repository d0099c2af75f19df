#!/usr/bin/env python3
"""The layering check against small made-up trees: each case adds one file to
a tree that is in order and names the problem the check must report (None:
none)."""
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import check_layers  # noqa: E402

CLEAN = {
    "src/base/text.h": "#include <string>\n",
    "src/platform/files.cpp": '#include <windows.h>\n#include "base/text.h"\n',
    "src/engine/update.cpp": '#include "http/fetch.h"\n#include "platform/files.h"\n',
    "src/zip/zip_writer.cpp": "#include <zlib.h>\n",
    "src/CMakeLists.txt": "au_library(au_engine engine)\n"
                          "au_link(au_engine au_http au_platform)  # a comment: au_app\n",
    "tests/CMakeLists.txt": "au_test_support(zip au_zip au_test_support_platform)\n"
                            "au_test_suite(zip_tests zip LINK au_test_support_zip DISCOVER au_app)\n",
    "tests/support/platform/sandbox.h": '#include "support/base/test_paths.h"\n',
    "tests/engine/update_test.cpp": '#include "support/zip/zip_builder.h"\n#include "zip/zip_reader.h"\n',
    "tests/posix/lock_test.cpp": '#include <unistd.h>\n#include "platform/machine_lock.h"\n',
    "tests/win32/programs/driver.cpp": '#include "app/progress_window.h"\n',
    "tests/xml/xml_test.cpp": '#include "xml_canonical.h"\n',
}

CASES = [
    ("src/base/bad.cpp", '#include "platform/files.h"\n', "base/ includes platform/files.h"),
    ("src/platform/bad.cpp", '#include "engine/paths.h"\n', "platform/ includes engine/paths.h"),
    ("src/http/bad.cpp", '#include "zip/zip_reader.h"\n', "http/ includes zip/zip_reader.h"),
    ("src/engine/bad.cpp", "#include <windows.h>\n", "<windows.h> outside platform/"),
    ("src/base/bad.cpp", "#include <zlib.h>\n", "<zlib.h> outside platform/"),
    ("src/tools/x.cpp", "", "folder tools/ is no known layer"),
    ("src/engine/ok.cpp", '#include "base/hex.h"\n', None),
    ("src/engine/bad.cpp", '#include "../app/x.h"\n', "climbing out of its folder"),
    ("fuzz/bad_fuzz.cpp", '#include "engine/../app/x.h"\n', "climbing out of its folder"),
    ("tests/zip/bad_test.cpp", '#include "engine/paths.h"\n', "tests of zip/ include engine/paths.h"),
    ("tests/zip/bad_test.cpp", '#include "support/engine/engine_fixture.h"\n',
     "tests of zip/ include support/engine/engine_fixture.h"),
    ("tests/support/http/bad.h", '#include "support/zip/zip_builder.h"\n', "tests of http/ include"),
    ("tests/posix/bad_test.cpp", '#include "engine/staging_file.h"\n', "tests of platform/ include"),
    ("tests/zip/bad_test.cpp", '#include "support/sandbox.h"\n', "support outside the folder of a layer"),
    ("tests/support/loose.h", "", "outside the folder of a layer"),
    ("tests/engine/posix/ok_test.cpp", '#include <signal.h>\n#include "support/engine/engine_fixture.h"\n', None),
    ("src/CMakeLists.txt", "au_link(au_platform au_engine)\n", "au_platform (platform/) links au_engine"),
    ("src/CMakeLists.txt", "target_link_libraries(au_base PUBLIC au_platform)\n", "au_base (base/) links au_platform"),
    ("src/main/CMakeLists.txt", "target_link_libraries(AutoUpdate PRIVATE au_app au_publish)\n",
     "AutoUpdate (main/) links au_publish"),
    ("tests/CMakeLists.txt", "au_test_suite(zip_tests zip LINK au_test_support_engine)\n",
     "zip_tests (zip/) links au_test_support_engine"),
    ("tests/CMakeLists.txt", "au_test_suite(win32_tests win32 LINK au_test_support_http)\n",
     "win32_tests (platform/) links au_test_support_http"),
    ("tests/CMakeLists.txt", "au_test_support(http au_http au_test_support_zip)\n",
     "http (http/) links au_test_support_zip"),
]


def problems(files):
    with tempfile.TemporaryDirectory() as root:
        for name, text in files.items():
            path = Path(root, name)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text, encoding="utf-8")
        return [line.replace(root, "") for line in check_layers.problems(Path(root))]


class CheckLayers(unittest.TestCase):
    def test_a_tree_in_order_has_no_problems(self):
        self.assertEqual(problems(CLEAN), [])

    def test_each_problem_is_reported(self):
        for name, text, expected in CASES:
            with self.subTest(name=name, text=text):
                files = dict(CLEAN)
                files[name] = files.get(name, "") + text
                found = problems(files)
                if expected is None:
                    self.assertEqual(found, [])
                else:
                    self.assertEqual(len(found), 1, found)
                    self.assertIn(expected, found[0])
                    self.assertIn(name, found[0])


if __name__ == "__main__":
    unittest.main(verbosity=2)

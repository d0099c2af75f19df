"""Windows-backend tests that need a display (message boxes, the window's
posted tasks), run on the private X server."""
import unittest

from harness import E2ETestCase


class BackendWithDisplay(E2ETestCase):
    def test_message_boxes(self):
        exe = self.programs.win32_tests
        self.assertTrue(exe.exists(), exe)
        result = self.machine.run(str(exe), ["--gtest_filter=OwnerlessBox.*"], timeout=300,
                                  extra_env={"AU_REQUIRE_DISPLAY": "1"})
        output = result.stdout.decode(errors="replace")
        self.assertEqual(result.returncode, 0, output)
        self.assertIn("[  PASSED  ] 1 test", output)

    def test_posted_tasks(self):
        exe = self.programs.win32_tests
        result = self.machine.run(str(exe), ["--gtest_filter=PostedTask.*"], timeout=300,
                                  extra_env={"AU_REQUIRE_DISPLAY": "1"})
        output = result.stdout.decode(errors="replace")
        self.assertEqual(result.returncode, 0, output)
        self.assertIn("[  PASSED  ] 1 test", output)


if __name__ == "__main__":
    unittest.main(verbosity=2)

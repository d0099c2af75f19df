"""Windows-backend tests that need a display (message boxes), run on the
private X server."""
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


if __name__ == "__main__":
    unittest.main(verbosity=2)

"""A machine shared with impatient users and local users who are not
administrators: one updater at a time, and a staging folder nobody else can
swap, re-point or plant in."""
import os
import unittest

from harness import STAGING, UpdateTestCase, wait_for_file, wait_until
from sample_app import Module, make_zip, recorded_versions



class FleetSafety(UpdateTestCase):
    def kit(self, version, count):
        return {f"kit/f{i:02d}.dat": version.encode() + os.urandom(20_000) for i in range(count)}

    def leftovers(self):
        return [p.name for p in self.app_file("kit").iterdir() if ".~" in p.name] + self.journals()

    def test_two_updaters_started_at_once_install_every_file_once(self):
        old, new = self.kit("1", 80), self.kit("2", 80)
        self.server_folder.publish("ZEPRA", [Module("kit", "2", files=new)])
        self.serve()
        self.installed("ZEPRA", [Module("kit", "1", files=old)])

        first, second = self.start_update(self.params()), self.start_update(self.params())
        self.finish(first)
        self.finish(second)

        files = {f"kit/{p.name}": p.read_bytes() for p in self.app_file("kit").iterdir()}
        self.assertEqual(files, new)
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"kit": "2"})
        self.assertEqual(self.leftovers(), [])

    def test_a_second_start_while_the_first_waits_on_autorun_leaves_its_files_new(self):
        new = self.kit("2", 20)
        tool = Module("tool.exe", "2", files={"tool.exe": self.recorder.read_bytes()}, auto_run="tool.exe")
        self.server_folder.publish("ZEPRA", [Module("kit", "2", files=new), tool])
        self.serve()
        self.installed("ZEPRA", [Module("kit", "1", files=self.kit("1", 20)), Module("tool.exe", "1")])

        first = self.start_update(self.params(), extra_env={"AU_RECORDER_DELAY_MS": "8000"})
        self.assertTrue(wait_until(lambda: self.app_file("tool.exe").exists()
                                   and self.app_file("tool.exe").read_bytes() == self.recorder.read_bytes(), 60))
        second = self.start_update(self.params())
        self.finish(first)
        self.finish(second)

        files = {f"kit/{p.name}": p.read_bytes() for p in self.app_file("kit").iterdir()}
        self.assertEqual(files, new)
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"kit": "2", "tool.exe": "2"})
        self.assertEqual(self.leftovers(), [])

    def test_a_staging_folder_replaced_by_a_link_is_not_used(self):
        self.server_folder.publish("ZEPRA", [Module("a.dll", "2")], verified=True)
        self.serve()
        self.installed("ZEPRA", [Module("a.dll", "1")])
        # A local user made the staging folder a link to a folder of theirs.
        theirs = self.machine.host_path("C:\\users\\Public\\theirs")
        theirs.mkdir(parents=True)
        staging = self.machine.host_path(STAGING)
        staging.parent.mkdir(parents=True)
        staging.symlink_to(theirs, target_is_directory=True)

        proc = self.start_update(self.params())
        # Windows moves such a link aside and makes the folder anew; under
        # Wine a host link cannot be moved as itself, so the run stops there.
        boxes = self.dismiss_box("AutoUpdate", 1)
        self.finish(proc)

        self.assertIn("staging", boxes[0])
        self.assertEqual(list(theirs.iterdir()), [], "the updater wrote into the user's folder")
        self.assertEqual(self.app_file("a.dll").read_bytes(), b"a.dll 1\r\n")
        self.assertEqual(self.server.requests(), [])

    def test_swapping_the_staging_folder_after_the_check_changes_nothing_installed(self):
        modules = [Module("a.dll", "2"), Module("b.dll", "2")]
        self.server_folder.publish("ZEPRA", modules)
        # a.dll.zip is checked and waits while b.dll.zip comes slowly.
        self.serve(["/upd/clientfile/b.dll.zip:delay=6"])
        self.installed("ZEPRA", [Module("a.dll", "1"), Module("b.dll", "1")])
        evil = self.machine.host_path("C:\\users\\Public\\evil")
        evil.mkdir(parents=True)
        planted = make_zip({"a.dll": b"evil"})
        (evil / "a.dll.zip").write_bytes(planted)
        staging = self.machine.host_path(STAGING)

        proc = self.start_update(self.params())
        self.assertTrue(wait_for_file(staging / "a.dll.zip", 60))
        staging.rename(staging.with_name("moved"))
        staging.symlink_to(evil, target_is_directory=True)
        # (On Windows nobody but administrators could do this.) The package
        # that was still coming can no longer be given its name; the one that
        # was checked is unpacked through the handle it was checked through.
        boxes = self.dismiss_box("Information", 1)
        self.finish(proc)

        self.assertIn("b.dll.zip", boxes[0])
        self.assertEqual(self.app_file("a.dll").read_bytes(), b"a.dll 2\r\n")
        self.assertEqual(self.app_file("b.dll").read_bytes(), b"b.dll 1\r\n")
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "2", "b.dll": "1"})
        self.assertEqual((evil / "a.dll.zip").read_bytes(), planted)

if __name__ == "__main__":
    unittest.main(verbosity=2)

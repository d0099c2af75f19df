"""Delta packages: a second release with one changed DLL, published by
au-publish, installs from its delta package, also while the DLL is loaded; a
machine whose base file was changed by hand, or a delta package damaged on its
way, gets the full package in the same run; a run killed while it applies a
delta is undone by the next one like any package."""
import os
import random
import socket
import subprocess
import time
import unittest
import zlib
from pathlib import Path

from harness import PRIVATE, SOURCE, STAGING, UpdateTestCase, wait_for_file
from sample_app import parse, recorded_versions

AU_PUBLISH = Path(os.environ.get("AU_PUBLISH", SOURCE / "build" / "native" / "src" / "au-publish"))
STAMP = 1_700_000_000
BIG = 24 * 1024 * 1024  # large enough for a kill to land while a.dll is patched


def closed_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def releases(size):
    """Release 1 and release 2 of the application: a.dll changed in a few
    places, b.dll the same."""
    rng = random.Random(22)
    a1 = rng.randbytes(size)
    a2 = bytearray(a1)
    for at in (100, size // 3, size // 2, size - 50):
        a2[at:at + 12] = b"release two!"
    kept = b"b.dll, the same in both releases\r\n"
    return {"a.dll": a1, "b.dll": kept}, {"a.dll": bytes(a2), "b.dll": kept}


class Delta(UpdateTestCase):
    def au_publish(self, *args):
        done = subprocess.run([str(AU_PUBLISH), *map(str, args)], capture_output=True, timeout=300)
        self.assertEqual(done.returncode, 0, done.stderr.decode())
        return done.stdout.decode()

    def publish(self, name, files):
        release = self.machine.root / name
        release.mkdir()
        for path, data in files.items():
            (release / path).write_bytes(data)
            # A file's package holds its time: an unchanged file keeps it.
            stamp = STAMP + zlib.crc32(data)
            os.utime(release / path, (stamp, stamp))
        self.au_publish("build", release, self.server_folder.base, "--app", "ZEPRA")
        return self.manifest_entries()

    def manifest_entries(self):
        manifest = parse((self.server_folder.base / "AutoUpdateIniS.xml").read_bytes())
        return {e.tag: e.attrib for e in manifest.find("ZEPRA")}

    def two_releases(self, size=300_000):
        """Publishes both releases; the manifest entries of each."""
        old, new = releases(size)
        first = self.publish("release1", old)
        second = self.publish("release2", new)
        self.assertIn("DeltaFileName", second["a.dll"])
        self.assertEqual(second["a.dll"]["DeltaFrom"], first["a.dll"]["Version"])
        self.assertNotIn("DeltaFileName", second["b.dll"])
        return old, new, first, second

    def install_release(self, files, entries):
        """The machine as release 1 left it: its files and versions."""
        from sample_app import client_config, config_name
        self.app_file(config_name(self.server.port)).write_bytes(
            client_config("ZEPRA", [(name, e["Version"]) for name, e in entries.items()]))
        for name, data in files.items():
            self.app_file(name).write_bytes(data)

    def debug_ini(self):
        return self.app_file("debug.ini").read_bytes().decode("gbk")

    def package_requests(self):
        return [p.rsplit("/", 1)[1] for p in self.server.requests() if "/clientfile/" in p]

    def assert_release(self, files, entries):
        for name, data in files.items():
            self.assertEqual(self.app_file(name).read_bytes(), data, name)
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"),
                         {name: e["Version"] for name, e in entries.items()})
        self.assertEqual(self.journals(), [])
        self.assertEqual(sorted(p.name for p in self.app_file("a.dll").parent.glob("*.~*")), [])

    def test_a_changed_dll_installs_from_its_delta(self):
        old, new = releases(300_000)
        first = self.publish("release1", old)
        self.serve()
        self.installed("ZEPRA", [])
        trace = self.run_update(self.params())
        self.assertEqual(trace.boxes, [])
        self.assert_release(old, first)
        second = self.publish("release2", new)
        before = len(self.package_requests())

        trace = self.run_update(self.params())

        self.assertEqual(trace.boxes, [])
        self.assert_release(new, second)
        delta = second["a.dll"]["DeltaFileName"]
        self.assertEqual(self.package_requests()[before:], [delta])
        self.assertIn("a.dll.安装方式=差异包\r\n", self.debug_ini())
        self.assertNotIn("b.dll.安装方式", self.debug_ini())
        self.assertTrue(self.machine.host_path(STAGING + "\\" + delta).exists())

    def test_a_base_file_changed_by_hand_gets_the_full_package(self):
        old, new, first, second = self.two_releases()
        self.serve()
        self.install_release(dict(old, **{"a.dll": old["a.dll"][:-1] + b"?"}), first)

        trace = self.run_update(self.params())

        self.assertEqual(trace.boxes, [])
        self.assert_release(new, second)
        self.assertEqual(self.package_requests(), [second["a.dll"]["DeltaFileName"], second["a.dll"]["FileName"]])
        self.assertIn("a.dll.安装方式=完整包：本机的“a.dll”不是差异包的起始版本\r\n", self.debug_ini())
        self.assertFalse(self.machine.host_path(STAGING + "\\" + second["a.dll"]["DeltaFileName"]).exists())

    def test_a_delta_damaged_in_transit_gets_the_full_package(self):
        old, new, first, second = self.two_releases()
        delta = second["a.dll"]["DeltaFileName"]
        damaged = "x" * int(second["a.dll"]["DeltaSize"])  # as long as the delta, other bytes
        self.serve([f"/upd/clientfile/{delta}:body={damaged}"])
        self.install_release(old, first)

        trace = self.run_update(self.params())

        self.assertEqual(trace.boxes, [])
        self.assert_release(new, second)
        requests = self.package_requests()
        self.assertIn(delta, requests)
        self.assertEqual(requests[-1], second["a.dll"]["FileName"])
        self.assertIn("a.dll.安装方式=完整包：文件校验值不符：", self.debug_ini())
        self.assertFalse(self.machine.host_path(STAGING + "\\" + delta).exists())

    def test_a_loaded_dll_is_set_aside_and_its_patched_version_put_in_place(self):
        dll = self.programs.planted_dll.read_bytes()
        kept = {"b.dll": b"b.dll, the same in both releases\r\n"}
        old, new = dict(kept, **{"a.dll": dll}), dict(kept, **{"a.dll": dll + b"release two\r\n" * 8})
        first = self.publish("release1", old)
        second = self.publish("release2", new)
        self.assertIn("DeltaFileName", second["a.dll"])
        self.serve()
        self.install_release(old, first)
        holder = self.machine.install(self.programs.build / "tests/win32/programs/module_holder.exe",
                                      "C:\\tools\\module_holder.exe")
        self.machine.start(holder, [self.app_path("a.dll"), "300", "C:\\tools\\holding"])
        self.assertTrue(wait_for_file(self.machine.host_path("C:\\tools\\holding"), 60))

        trace = self.run_update(self.params())

        self.assertEqual(trace.boxes, [])
        self.assertEqual(self.app_file("a.dll").read_bytes(), new["a.dll"])
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"),
                         {name: e["Version"] for name, e in second.items()})
        self.assertIn("a.dll.安装方式=差异包\r\n", self.debug_ini())
        self.assertEqual(self.package_requests(), [second["a.dll"]["DeltaFileName"]])

    def test_a_run_killed_while_it_applies_a_delta_is_undone_then_completed(self):
        old, new, first, second = self.two_releases(BIG)
        self.serve()
        self.install_release(old, first)
        written = self.app_file("a.dll.~delta")

        proc = self.start_update(self.params())
        deadline = time.time() + 120
        while not written.exists() and proc.poll() is None and time.time() < deadline:
            time.sleep(0.01)
        caught = written.exists()
        subprocess.run(["wineserver", "-k"], env=self.machine.env, timeout=60)
        proc.wait(30)
        self.assertTrue(caught, "the run ended before it applied the delta")

        # The next run, against a server that cannot be reached, only recovers.
        recovery = self.start_update(self.params(url=f"http://127.0.0.1:{closed_port()}/upd/"))
        self.dismiss_box("AutoUpdate", 1)
        self.machine.wait_exit(recovery, 60)
        self.assert_release(old, first)
        self.assertFalse(self.machine.host_path(PRIVATE + "\\delta").exists())

        # And the run after that installs release 2 from the delta.
        self.run_update(self.params())
        self.assert_release(new, second)
        self.assertIn("a.dll.安装方式=差异包\r\n", self.debug_ini())


if __name__ == "__main__":
    unittest.main(verbosity=2)

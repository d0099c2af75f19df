"""Staged rollout: a release published by au-publish with --rollout reaches
the machines whose bucket (from their MachineGuid, the entry's name and its
version) is below the percentage; raising it with `au-publish rollout`
brings the rest."""
import hashlib
import os
import subprocess
import unittest
from pathlib import Path

from harness import SOURCE, Machine, UpdateTestCase
from sample_app import Module, parse, recorded_versions

CRYPTOGRAPHY_KEY = "HKLM\\SOFTWARE\\Microsoft\\Cryptography"
AU_PUBLISH = Path(os.environ.get("AU_PUBLISH", SOURCE / "build" / "native" / "src" / "au-publish"))
# Four machines; two of them fall below 50% for a.dll version 2, two above.
GUIDS = ["11111111-2222-3333-4444-000000000001", "11111111-2222-3333-4444-000000000002",
         "11111111-2222-3333-4444-000000000003", "11111111-2222-3333-4444-000000000005"]


def bucket(guid, name, version):
    """The bucket as administrators compute it."""
    digest = hashlib.sha256(f"{guid}/{name}/{version}".encode("utf-8")).digest()
    return int.from_bytes(digest[:4], "big") % 100


class Rollout(UpdateTestCase):
    def au_publish(self, *args):
        done = subprocess.run([str(AU_PUBLISH), *map(str, args)], capture_output=True, timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr.decode())
        return done.stdout.decode()

    def use(self, machine):
        """Points the helpers (installed, run_update, app_file, ...) at the machine."""
        self.machine = machine
        self.trace_file = machine.root / "trace.txt"

    def add_machine(self, index, guid):
        """A machine with the updater, the client, a.dll 1 installed and its MachineGuid."""
        if index > 0:
            machine = Machine(self.programs, self.display, f"rollout{index}")
            self.addCleanup(machine.remove)
            self.addCleanup(machine.stop)
            machine.install(self.programs.autoupdate, self.UPDATER)
            machine.install(self.programs.client, self.app_path("ZEPRA.exe"))
            self.use(machine)
        done = self.machine.run("reg", ["add", CRYPTOGRAPHY_KEY, "/v", "MachineGuid", "/t", "REG_SZ", "/d", guid,
                                        "/reg:64", "/f"])
        self.assertEqual(done.returncode, 0, done.stderr)
        self.installed("ZEPRA", [Module("a.dll", "1")])
        return self.machine

    def update(self, machine):
        self.use(machine)
        if self.trace_file.exists():
            self.trace_file.unlink()
        self.run_update(self.params())
        debug = self.app_file("debug.ini").read_bytes().decode("gbk")
        return self.app_file("a.dll").read_bytes(), debug

    def test_half_the_machines_then_all(self):
        buckets = [bucket(guid, "a.dll", "2") for guid in GUIDS]
        takes = [b < 50 for b in buckets]
        self.assertIn(True, takes)
        self.assertIn(False, takes)
        release = self.machine.root / "release"
        release.mkdir()
        (release / "a.dll").write_bytes(b"a 2")
        self.au_publish("build", release, self.server_folder.base, "--app", "ZEPRA", "--version", "2",
                        "--rollout", "50")
        manifest = parse((self.server_folder.base / "AutoUpdateIniS.xml").read_bytes())
        self.assertEqual(manifest.find("ZEPRA/a.dll").get("Rollout"), "50")
        self.serve()
        machines = [self.add_machine(i, guid) for i, guid in enumerate(GUIDS)]
        for guid, b in zip(GUIDS, buckets):
            self.assertIn(f"ZEPRA/a.dll  版本 2  桶 {b}  比例 50%  " + ("轮到" if b < 50 else "未轮到"),
                          self.au_publish("bucket", guid, self.server_folder.base))

        for machine, b, took in zip(machines, buckets, takes):
            with self.subTest(machine=machine.name, bucket=b):
                data, debug = self.update(machine)
                self.assertEqual(data, b"a 2" if took else b"a.dll 1\r\n")
                self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "2" if took else "1"})
                if took:
                    self.assertNotIn("a.dll.Rollout", debug)
                else:
                    self.assertIn(f"a.dll.Rollout=未轮到：桶 {b}，比例 50%", debug)

        self.au_publish("rollout", self.server_folder.base, "100")
        for machine, b, took in zip(machines, buckets, takes):
            with self.subTest(machine=machine.name, bucket=b, rollout=100):
                data, _ = self.update(machine)
                self.assertEqual(data, b"a 2")
                self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "2"})


if __name__ == "__main__":
    unittest.main(verbosity=2)

"""A run killed in the middle of a package: the next run puts the package's
folder back before it does anything else, so the folder always holds one
release or the other, whole, and the client configuration records that one."""
import os
import socket
import subprocess
import time
import unittest

from harness import UpdateTestCase
from sample_app import Module, recorded_versions

FILES = 240
MOMENTS = 10


def closed_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class KillRecovery(UpdateTestCase):
    def release(self, version):
        # Incompressible, so that unpacking takes long enough to be caught.
        return {f"kit/f{i:03d}.dat": version.encode() + os.urandom(40_000) for i in range(FILES)}

    def asides(self):
        kit = self.app_file("kit")
        return sum(1 for p in kit.iterdir() if ".~old" in p.name) if kit.exists() else 0

    def kill_when(self, threshold, timeout=90):
        """Starts an update and ends every program of the machine once
        `threshold` originals are set aside; False when it never got there."""
        proc = self.start_update(self.params())
        deadline = time.time() + timeout
        while self.asides() < threshold and proc.poll() is None and time.time() < deadline:
            time.sleep(0.01)
        subprocess.run(["wineserver", "-k"], env=self.machine.env, timeout=60)
        proc.wait(30)
        return self.asides() >= threshold

    def test_killed_at_ten_moments_the_next_run_leaves_one_release_whole(self):
        old, new = self.release("1"), self.release("2")
        self.server_folder.publish("ZEPRA", [Module("kit", "2", files=new)])
        self.serve()
        seen = []
        # From the first file set aside to the last ones, evenly.
        for threshold in [1 + k * (FILES - 2) // (MOMENTS - 1) for k in range(MOMENTS)]:
            with self.subTest(threshold=threshold):
                self.installed("ZEPRA", [Module("kit", "1", files=old)])
                for p in self.app_file("kit").iterdir():
                    if p.name not in {n.split("/")[1] for n in old}:
                        p.unlink()
                caught = self.kill_when(threshold)

                # The next run, against a server that cannot be reached,
                # only recovers.
                recovery = self.start_update(self.params(url=f"http://127.0.0.1:{closed_port()}/upd/"))
                self.dismiss_box("AutoUpdate", 1)
                self.machine.wait_exit(recovery, 60)

                files = {f"kit/{p.name}": p.read_bytes() for p in self.app_file("kit").iterdir()}
                whole = "old" if files == old else "new" if files == new else None
                self.assertIsNotNone(whole, f"mixed after a kill at {threshold}: "
                                            f"{sum(files.get(n) == b for n, b in new.items())} new files, "
                                            f"others {sorted(set(files) - set(old))[:5]}")
                self.assertEqual(self.journals(), [])
                # The record always describes the files.
                recorded = recorded_versions(self.config(), "ZEPRA")["kit"]
                self.assertEqual(recorded, {"old": "1", "new": "2"}[whole])
                seen.append((threshold, caught, whole))
        # The kills fell inside the package, not all before or after it.
        self.assertGreaterEqual(sum(1 for _, caught, whole in seen if caught and whole == "old"), MOMENTS // 2, seen)
        print(f"\nkill moments (originals set aside, caught, folder after recovery): {seen}")


if __name__ == "__main__":
    unittest.main()

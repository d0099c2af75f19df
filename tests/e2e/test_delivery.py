"""Where packages come from: branch mirrors in the configured order, never
trusted, and the update server last; packages with a SHA-256 in the manifest
are asked for without a no-cache header, everything else fresh."""
import hashlib
import re
import shutil
import unittest

from harness import STAGING, HttpServer, UpdateTestCase
from sample_app import Module, ServerFolder, recorded_versions

POLICY_KEY = "HKLM\\SOFTWARE\\ZEPRA\\AutoUpdate"
NO_CACHE = "Cache-Control: no-cache, no-store, max-age=0, must-revalidate"


def logged_requests(server):
    """{request path: [header lines]} of the GET requests a server logged."""
    text = server.log.read_bytes().decode("latin-1") if server.log.exists() else ""
    requests = {}
    for block in text.split("\r\n\r\n"):
        lines = block.split("\r\n")
        if lines and lines[0].startswith("GET "):
            requests.setdefault(lines[0].split(" ")[1], []).append(lines[1:])
    return requests


class Delivery(UpdateTestCase):
    def configure_mirrors(self, *addresses):
        result = self.machine.run("reg", ["add", POLICY_KEY, "/v", "Mirrors", "/t", "REG_MULTI_SZ", "/d",
                                          "\\0".join(addresses), "/reg:32", "/f"])
        self.assertEqual(result.returncode, 0, result.stderr)

    def mirror(self, name):
        """A server folder of its own, served; empty until the test fills it."""
        folder = ServerFolder(self.machine.root / name)
        server = HttpServer(folder.root)
        self.addCleanup(server.close)
        return folder, server

    def debug_ini(self):
        return self.app_file("debug.ini").read_bytes().decode("gbk")

    def test_packages_come_from_the_first_mirror_with_the_right_bytes(self):
        modules = [Module("a.dll", "2"), Module("b.dll", "2")]
        self.server_folder.publish("ZEPRA", modules, verified=True)
        origin = self.serve()
        _, missing = self.mirror("mirror1")
        other, tampered = self.mirror("mirror2")
        other.publish("ZEPRA", [Module("a.dll", "3"), Module("b.dll", "3")])
        right, good = self.mirror("mirror3")
        shutil.copytree(self.server_folder.base / "clientfile", right.base / "clientfile", dirs_exist_ok=True)
        mirrors = [right.url(server.port) for server in (missing, tampered, good)]
        self.configure_mirrors("ftp://127.0.0.1/upd/", *mirrors)
        self.installed("ZEPRA", [Module("a.dll", "1"), Module("b.dll", "1")])

        trace = self.run_update(self.params())

        self.assertEqual(trace.boxes, [])
        self.assertEqual(self.app_file("a.dll").read_bytes(), b"a.dll 2\r\n")
        self.assertEqual(self.app_file("b.dll").read_bytes(), b"b.dll 2\r\n")
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "2", "b.dll": "2"})
        packages = ["/upd/clientfile/a.dll.zip", "/upd/clientfile/b.dll.zip"]
        for server in (missing, tampered, good):
            self.assertEqual(sorted(server.requests()), packages)
        self.assertEqual([p for p in origin.requests() if "clientfile" in p], [])
        ini = self.debug_ini()
        for name in ("a.dll", "b.dll"):
            self.assertIn(f"{name}.来源={mirrors[2]}\r\n", ini)
            passed_over = re.search(f"{re.escape(name)}\\.未采用=(.*)\r\n", ini).group(1)
            self.assertTrue(passed_over.startswith(f"{mirrors[0]}：服务器应答状态 404，不是文件。；{mirrors[1]}："),
                            passed_over)
        self.assertIn("镜像.已忽略=ftp://127.0.0.1/upd/\r\n", ini)

    def test_every_mirror_failing_leaves_the_package_to_the_server(self):
        modules = [Module("a.dll", "2")]
        self.server_folder.publish("ZEPRA", modules, verified=True)
        origin = self.serve()
        _, missing = self.mirror("mirror1")
        self.configure_mirrors(self.server_folder.url(missing.port))
        self.installed("ZEPRA", [Module("a.dll", "1")])

        trace = self.run_update(self.params())

        self.assertEqual(trace.boxes, [])
        self.assertEqual(self.app_file("a.dll").read_bytes(), b"a.dll 2\r\n")
        self.assertEqual(missing.requests(), ["/upd/clientfile/a.dll.zip"])
        self.assertEqual(origin.requests().count("/upd/clientfile/a.dll.zip"), 1)
        self.assertIn("a.dll.来源=源服务器\r\n", self.debug_ini())

    def test_only_packages_with_a_sha256_are_asked_for_without_no_cache(self):
        checked, unchecked = Module("a.dll", "2"), Module("b.dll", "2")
        checked.sha256 = hashlib.sha256(checked.package()).hexdigest()
        self.server_folder.publish("ZEPRA", [checked, unchecked])
        server = self.serve()
        self.installed("ZEPRA", [Module("a.dll", "1"), Module("b.dll", "1")])

        trace = self.run_update(self.params())

        self.assertEqual(trace.boxes, [])
        self.assertEqual(self.machine.host_path(STAGING + "\\a.dll.zip").read_bytes(), checked.package())
        requests = logged_requests(server)
        for path, cached in (("/upd/AutoUpdateIniS.xml", False), ("/upd/clientfile/a.dll.zip", True),
                             ("/upd/clientfile/b.dll.zip", False)):
            with self.subTest(path):
                self.assertEqual(len(requests.get(path, [])), 1, requests.keys())
                headers = requests[path][0]
                self.assertIn("Accept: */*", headers)
                self.assertIn("User-Agent: Mozilla/4.0 (compatible; MSIE 6.0;)", headers)
                self.assertEqual(NO_CACHE in headers, not cached, headers)
                if cached:
                    self.assertEqual([h for h in headers if h.lower().startswith(("cache-control", "pragma"))],
                                     [], headers)


if __name__ == "__main__":
    unittest.main()

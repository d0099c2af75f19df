"""A branch office behind one caching proxy (Squid): the origin sends a
package with a digest in the manifest once, whatever the number of machines,
every machine installs it byte for byte, and a proxy that answers with other
bytes than the origin's is passed by a fresh request."""
import os
import shutil
import tempfile
import unittest
import urllib.request
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

from harness import E2ETestCase, HttpServer, Machine
from proxy import PACKAGE_MAX_AGE, CachingProxy, origin_bytes, use_proxy
from sample_app import Module, ServerFolder, client_config, config_name

UPDATER_DIR = "C:\\ZEPRA\\Update"
UPDATER = UPDATER_DIR + "\\AutoUpdate.exe"
PACKAGE = "/upd/clientfile/big.dat.zip"
MANIFEST = "/upd/AutoUpdateIniS.xml"


def big_module(version, megabytes):
    # Random bytes: the package is as large as its file.
    return Module("big.dat", version, files={"big.dat": os.urandom(megabytes << 20)})


class CachingProxyCase(E2ETestCase):
    def setUp(self):
        # No machine of the base class: each test makes its own fleet.
        self.work = Path(tempfile.mkdtemp(prefix="au-e2e-proxy-"))
        self.addCleanup(shutil.rmtree, self.work, True)
        self.folder = ServerFolder(self.work / "server")
        self.timing = self.work / "timing.txt"
        self.proxy = CachingProxy()
        self.addCleanup(self.proxy.close)

    def serve(self, rules=()):
        self.server = HttpServer(self.folder.root, rules, log=self.work / "requests.log", timing=self.timing)
        self.addCleanup(self.server.close)

    def params(self):
        url = self.folder.url(self.server.port)
        return ["ZEPRA", "u1", "UID0042", "A01", "20240607", "e1", "e2", "e3", "e4", url, str(self.server.port),
                "C:\\elsewhere\\ignored.exe"]

    def branch_machines(self, names):
        """Machines of the branch office (set up side by side)."""
        with ThreadPoolExecutor(len(names)) as pool:
            return list(pool.map(self.branch_machine, names))

    def branch_machine(self, name, installed_version="1"):
        """A machine of the branch office: the updater, the client, version
        `installed_version` of big.dat recorded, the proxy as its system proxy."""
        machine = Machine(self.programs, self.display, name)
        self.addCleanup(machine.remove)
        self.addCleanup(machine.stop)
        machine.install(self.programs.autoupdate, UPDATER)
        machine.install(self.programs.client, UPDATER_DIR + "\\ZEPRA.exe")
        machine.host_path(UPDATER_DIR + "\\" + config_name(self.server.port)).write_bytes(
            client_config("ZEPRA", [("big.dat", installed_version)]))
        # On disk too: a recorded file that is missing would be fetched twice.
        machine.host_path(UPDATER_DIR + "\\big.dat").write_bytes(b"big.dat " + installed_version.encode())
        use_proxy(machine, self.proxy.address)
        return machine

    def update(self, machine):
        return machine.start(UPDATER, self.params(), extra_env={"WINEDEBUG": "-all"})

    def installed(self, machine):
        path = machine.host_path(UPDATER_DIR + "\\big.dat")
        return path.read_bytes() if path.exists() else None


class BranchOffice(CachingProxyCase):
    def test_five_machines_get_the_package_through_the_proxy_from_one_origin_download(self):
        module = big_module("2", 20)
        self.folder.publish("ZEPRA", [module], verified=True)
        size = len(module.package())
        # The packages are long-lived and immutable, the manifest is not.
        self.serve([f"{PACKAGE}:header=Cache-Control: {PACKAGE_MAX_AGE}"])
        machines = self.branch_machines([f"branch-{i}" for i in range(5)])

        # The morning: everybody starts the application at once.
        runs = [self.update(m) for m in machines]
        codes = [m.wait_exit(p, 150) for m, p in zip(machines, runs)]

        self.assertEqual(codes, [0] * 5)
        for m in machines:
            self.assertTrue(self.installed(m) == module.files["big.dat"], f"{m.name}: not the package's file")
        through_proxy = self.proxy.settled_entries(PACKAGE, 5)
        self.assertEqual(len(through_proxy), 5, through_proxy)
        self.assertEqual(len(self.proxy.settled_entries(MANIFEST, 5)), 5,
                         "every machine asks for the manifest via the proxy")
        # The proxy shares one fetch among those asking at once and keeps the
        # package fresh for a year: nothing is revalidated.
        self.assertEqual(origin_bytes(self.timing, PACKAGE), size, through_proxy)
        self.assertEqual(self.server.requests().count(PACKAGE), 1)
        # The manifest is asked for fresh each time.
        self.assertEqual(self.server.requests().count(MANIFEST), 5)

    def test_a_proxy_answering_with_old_bytes_is_passed_by_a_fresh_request(self):
        old = big_module("2", 2)
        self.folder.publish("ZEPRA", [old], verified=True)
        # No expiry from the server: the proxy's own rule keeps the package a week.
        self.serve()
        first = self.branch_machine("first")
        self.assertEqual(first.wait_exit(self.update(first), 120), 0)
        self.assertEqual(self.installed(first), old.files["big.dat"])

        # The publisher replaces the package under the same name; the proxy
        # still holds the old one.
        new = big_module("3", 2)
        self.folder.publish("ZEPRA", [new], verified=True)
        second = self.branch_machine("second", installed_version="2")
        self.assertEqual(second.wait_exit(self.update(second), 120), 0)

        self.assertEqual(self.installed(second), new.files["big.dat"])
        answers = self.proxy.settled_entries(PACKAGE, 3)
        # The first machine's miss, the old bytes from the cache, then the
        # fresh request that went to the origin.
        self.assertEqual([e.hit for e in answers], [False, True, False], answers)
        self.assertEqual(origin_bytes(self.timing, PACKAGE), len(old.package()) + len(new.package()))


class ProxyConfiguration(unittest.TestCase):
    """The proxy's own configuration, without Wine: plain HTTP clients."""

    def setUp(self):
        self.work = Path(tempfile.mkdtemp(prefix="au-proxy-conf-"))
        self.addCleanup(shutil.rmtree, self.work, True)
        self.folder = ServerFolder(self.work / "server")
        self.proxy = CachingProxy()
        self.addCleanup(self.proxy.close)
        self.timing = self.work / "timing.txt"
        self.server = HttpServer(self.folder.root, log=self.work / "requests.log", timing=self.timing)
        self.addCleanup(self.server.close)
        self.opener = urllib.request.build_opener(urllib.request.ProxyHandler({"http": f"http://{self.proxy.address}"}))

    def get(self, path, headers=None):
        request = urllib.request.Request(f"http://127.0.0.1:{self.server.port}{path}", headers=headers or {})
        with self.opener.open(request, timeout=60) as answer:
            return answer.status, answer.read()

    def test_a_download_that_begins_as_a_resumed_one_fills_the_cache(self):
        data = os.urandom(3 << 20)
        self.folder.package_path("big.dat.zip").write_bytes(data)

        status, rest = self.get(PACKAGE, {"Range": "bytes=1000-"})
        whole_status, whole = self.get(PACKAGE)

        self.assertEqual((status, rest), (206, data[1000:]))
        self.assertEqual((whole_status, whole), (200, data))
        self.assertEqual([e.hit for e in self.proxy.settled_entries(PACKAGE, 2)], [False, True])
        self.assertEqual(origin_bytes(self.timing, PACKAGE), len(data))

    def test_a_request_for_a_fresh_copy_goes_to_the_origin(self):
        self.folder.package_path("big.dat.zip").write_bytes(b"old" * 1000)
        self.get(PACKAGE)
        self.folder.package_path("big.dat.zip").write_bytes(b"new" * 1000)

        _, cached = self.get(PACKAGE)
        _, fresh = self.get(PACKAGE, {"Cache-Control": "no-cache, no-store, max-age=0, must-revalidate"})

        self.assertEqual((cached, fresh), (b"old" * 1000, b"new" * 1000))
        self.assertEqual([e.hit for e in self.proxy.settled_entries(PACKAGE, 3)], [False, True, False])
        self.assertEqual(self.server.requests().count(PACKAGE), 2)


if __name__ == "__main__":
    unittest.main(verbosity=2)

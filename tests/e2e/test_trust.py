"""What gets installed is what the publisher released: package sizes and
SHA-256 digests, staged packages nobody can swap, signed manifests, and a
question before a server a web page names is used for the first time."""
import hashlib
import os
import subprocess
import unittest
from pathlib import Path

from harness import SOURCE, STAGING, UpdateTestCase, wait_for_file
from sample_app import Module, make_key_pair, make_zip, parse, recorded_versions

KEYS_KEY = "HKLM\\SOFTWARE\\ZEPRA\\AutoUpdate"
MANIFEST = "/upd/AutoUpdateIniS.xml"
AU_PUBLISH = Path(os.environ.get("AU_PUBLISH", SOURCE / "build" / "native" / "src" / "au-publish"))


class Trust(UpdateTestCase):
    def configure_keys(self, *public_keys):
        result = self.machine.run("reg", ["add", KEYS_KEY, "/v", "PublisherKeys", "/t", "REG_SZ", "/d",
                                          " ".join(public_keys), "/reg:32", "/f"])
        self.assertEqual(result.returncode, 0, result.stderr)

    def debug_ini(self):
        return self.app_file("debug.ini").read_bytes().decode("gbk")

    def test_packages_unlike_the_manifest_are_refused_and_the_rest_installs(self):
        other = hashlib.sha256(b"something else").hexdigest()
        modules = [Module("a.dll", "2", sha256=other), Module("b.dll", "2"), Module("c.dll", "2")]
        modules[1].size = len(modules[1].package()) + 1
        self.server_folder.publish("ZEPRA", modules, verified=True)
        self.serve()
        self.installed("ZEPRA", [Module("a.dll", "1"), Module("b.dll", "1")])
        proc = self.start_update(self.params())

        self.dismiss_box("Information", 1)
        boxes = self.dismiss_box("Information", 2)
        self.finish(proc)

        self.assertEqual([b.split("clientfile/")[1][:9] for b in boxes], ["a.dll.zip", "b.dll.zip"])
        self.assertEqual(self.app_file("a.dll").read_bytes(), b"a.dll 1\r\n")
        self.assertEqual(self.app_file("b.dll").read_bytes(), b"b.dll 1\r\n")
        self.assertEqual(self.app_file("c.dll").read_bytes(), b"c.dll 2\r\n")
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "1", "b.dll": "1", "c.dll": "2"})
        # A refused package is never written to the shared staging folder.
        self.assertFalse(self.machine.host_path(STAGING + "\\a.dll.zip").exists())
        self.client_record(self.app_path("ZEPRA.exe"))

    def test_a_local_user_cannot_swap_a_staged_package(self):
        modules = [Module("a.dll", "2"), Module("b.dll", "2")]
        self.server_folder.publish("ZEPRA", modules, verified=True)
        # While b.dll.zip comes slowly, a.dll.zip waits in the staging folder.
        self.serve(["/upd/clientfile/b.dll.zip:delay=6"])
        evil = self.machine.host_path("C:\\tools\\evil.zip")
        evil.parent.mkdir(parents=True)
        evil.write_bytes(make_zip({"a.dll": b"evil"}))
        swapper = self.machine.install(self.programs.file_swapper, "C:\\tools\\file_swapper.exe")
        log = self.machine.host_path("C:\\tools\\swapper.log")
        self.machine.start(swapper, [STAGING + "\\a.dll.zip", "C:\\tools\\evil.zip", "30", "C:\\tools\\swapper.log"])

        trace = self.run_update(self.params())

        self.assertEqual(trace.boxes, [])
        self.assertTrue(wait_for_file(log, 30), "the swapper never tried")
        self.assertEqual(log.read_text().split()[0], "refused")
        self.assertEqual(self.app_file("a.dll").read_bytes(), b"a.dll 2\r\n")
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "2", "b.dll": "2"})

    def test_with_publisher_keys_only_a_signed_manifest_is_acted_on(self):
        private, public = make_key_pair(self.machine.root / "keys")
        _, stranger = make_key_pair(self.machine.root / "keys", "stranger")
        self.configure_keys(stranger, public)
        self.serve()
        for case, sign, tamper, reason in [
                ("signed", True, False, None),
                ("unsigned", False, False, "签名文件缺失或无法读取"),
                ("changed after signing", True, True, "签名与更新说明不符，或不是由本机信任的发布者签署")]:
            with self.subTest(case):
                self.server_folder.publish("ZEPRA", [Module("a.dll", case)], verified=True)
                sig = self.server_folder.base / "AutoUpdateIniS.xml.sig"
                sig.unlink(missing_ok=True)
                if sign:
                    self.server_folder.sign(private)
                if tamper:
                    self.server_folder.publish("ZEPRA", [Module("a.dll", "evil")], verified=True)
                self.trace_file.unlink(missing_ok=True)
                proc = self.start_update(self.params())
                if reason:
                    box = self.dismiss_box("AutoUpdate", 1)[0]
                    shown = "更新说明（AutoUpdateIniS.xml）没有可信发布者的有效签名：" + reason
                    self.assertBoxText(box, shown + "。\r\n为安全起见，本次不安装任何更新。", shown=shown)
                self.finish(proc)

                self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "signed"})
                self.assertEqual(self.app_file("a.dll").read_bytes(), b"a.dll signed\r\n")
                self.assertIn(f"清单签名=未通过：{reason}" if reason else "清单签名=已校验", self.debug_ini())
                self.assertIn(MANIFEST + ".sig", self.server.requests())
                self.client_record(self.app_path("ZEPRA.exe"))

    def test_a_replayed_or_expired_signed_manifest_installs_nothing(self):
        private, public = make_key_pair(self.machine.root / "keys")
        self.configure_keys(public)
        self.serve()
        self.installed("ZEPRA", [Module("a.dll", "1")])
        manifest = self.server_folder.base / "AutoUpdateIniS.xml"
        signature = self.server_folder.base / "AutoUpdateIniS.xml.sig"

        def publish(version, root_attrs):
            self.server_folder.publish("ZEPRA", [Module("a.dll", version)], verified=True, root_attrs=root_attrs)
            self.server_folder.sign(private)
            return manifest.read_bytes(), signature.read_bytes()

        def run(refusal=None):
            self.trace_file.unlink(missing_ok=True)
            proc = self.start_update(self.params())
            box = self.dismiss_box("AutoUpdate", 1)[0] if refusal else None
            self.finish(proc)
            if refusal:
                self.assertIn("更新说明（AutoUpdateIniS.xml）不能使用：" + refusal, box)

        first = publish("1b", [("Serial", "1")])
        publish("2", [("Serial", "2")])
        run()
        self.assertEqual(self.app_file("a.dll").read_bytes(), b"a.dll 2\r\n")
        kept = self.machine.reg_query(KEYS_KEY + "\\Servers", f"127.0.0.1_{self.server.port}")
        self.assertEqual(kept, "2 " + hashlib.sha256(manifest.read_bytes()).hexdigest())

        # The previous signed manifest, answered again by somebody on the way.
        manifest.write_bytes(first[0])
        signature.write_bytes(first[1])
        run("更新说明的序号 1 低于本机已接受的 2")
        publish("3", [("Serial", "3"), ("Expires", "20200101000000")])
        run("更新说明已于 20200101000000（UTC）过期")
        self.assertEqual(self.app_file("a.dll").read_bytes(), b"a.dll 2\r\n")
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "2"})
        self.assertIn("清单时效=未通过：更新说明已于", self.debug_ini())

        # The scheduled refresh: the same release, the next serial, a new expiry.
        self.au_publish("refresh", self.server_folder.base, "--key", private, "--expires-days", "7")
        run()
        self.assertEqual(self.app_file("a.dll").read_bytes(), b"a.dll 3\r\n")
        self.assertIn("清单时效=已接受：序号 4", self.debug_ini())

    def au_publish(self, *args):
        done = subprocess.run([str(AU_PUBLISH), *map(str, args)], capture_output=True, timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr.decode())
        return done.stdout.decode()

    def test_a_release_published_by_au_publish_installs_and_a_changed_byte_is_refused(self):
        keys, release = self.machine.root / "keys", self.machine.root / "release"
        keys.mkdir()
        (release / "reports").mkdir(parents=True)
        (release / "a.dll").write_bytes(b"a 2")
        (release / "reports" / "r.txt").write_bytes(b"r 2")
        # Clients ask for a Chinese package name in their code page.
        (release / "报表.dll").write_bytes(b"b 2")
        self.au_publish("keygen", keys / "k.pem", keys / "k.pub")
        public = "".join(line for line in (keys / "k.pub").read_text().splitlines() if "-----" not in line)
        self.configure_keys(public)
        self.au_publish("build", release, self.server_folder.base, "--app", "ZEPRA", "--key", keys / "k.pem")
        self.assertIn("检查通过", self.au_publish("verify", self.server_folder.base, "--pubkey", keys / "k.pub"))
        self.serve(byte_names=True)  # as nginx finds the Chinese package name
        self.installed("ZEPRA", [Module("a.dll", "1")])

        trace = self.run_update(self.params())

        self.assertEqual(trace.boxes, [])
        self.assertEqual(self.app_file("a.dll").read_bytes(), b"a 2")
        self.assertEqual(self.app_file("reports\\r.txt").read_bytes(), b"r 2")
        self.assertEqual(self.app_file("报表.dll").read_bytes(), b"b 2")
        self.assertIn("清单签名=已校验", self.debug_ini())
        first = recorded_versions(self.config(), "ZEPRA")

        # The next release, one byte of its package changed on the server.
        (release / "a.dll").write_bytes(b"a 3")
        self.au_publish("build", release, self.server_folder.base, "--app", "ZEPRA", "--key", keys / "k.pem",
                        "--version", first["a.dll"] + ".1")
        # Packages are named by their content: the new one has a name of its own.
        manifest = parse((self.server_folder.base / "AutoUpdateIniS.xml").read_bytes())
        name = manifest.find("ZEPRA/a.dll").get("FileName")
        self.assertRegex(name, r"^a\.dll\.[0-9a-f]{16}\.zip$")
        package = self.server_folder.package_path(name)
        data = bytearray(package.read_bytes())
        data[len(data) // 2] ^= 1
        package.write_bytes(bytes(data))
        self.trace_file.unlink()
        proc = self.start_update(self.params())
        box = self.dismiss_box("Information", 1)[0]
        self.finish(proc)

        self.assertIn("clientfile/a.dll.", box)
        self.assertEqual(self.app_file("a.dll").read_bytes(), b"a 2")
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), first)

    def test_without_publisher_keys_no_signature_is_asked_for(self):
        self.server_folder.publish("ZEPRA", [Module("a.dll", "2")])
        self.serve()

        self.run_update(self.params())

        self.assertNotIn(MANIFEST + ".sig", self.server.requests())
        self.assertNotIn("清单签名", self.debug_ini())


if __name__ == "__main__":
    unittest.main(verbosity=2)

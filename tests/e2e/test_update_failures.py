"""Updates that go wrong, the window's error state, the URL form and the
progress state, through the real AutoUpdate.exe."""
import base64
import os
import re
import subprocess
import time
import unittest

from harness import (BACKGROUND, BUTTON_FACE, FULL_BAR, RATE_FILL, STAGING, UpdateTestCase, client_command,
                     wait_for_file)
from sample_app import DECLARATION, ENCODING, Module, config_name, recorded_versions

POLICY_KEY = "HKLM\\SOFTWARE\\ZEPRA\\AutoUpdate"


class Failures(UpdateTestCase):
    def window_origin(self):
        x, y, _, _ = self.machine.geometry(self.machine.wait_window())
        return x, y

    def test_package_that_is_an_error_page_is_not_recorded(self):
        old = [Module("a.dll", "1"), Module("b.dll", "1")]
        self.server_folder.publish("ZEPRA", [Module("a.dll", "2"), Module("b.dll", "2")])
        self.server_folder.package_path("b.dll.zip").unlink()
        self.serve()
        self.installed("ZEPRA", old)

        proc = self.start_update(self.params())
        boxes = self.dismiss_box("AutoUpdate", 1)
        trace = self.finish(proc)

        # Not silently: the page came, but it is no package.
        self.assertEqual(len(trace.boxes), 1)
        self.assertIn("模块“b.dll”没有安装", boxes[0])
        self.assertEqual(self.app_file("a.dll").read_bytes(), b"a.dll 2\r\n")
        self.assertEqual(self.app_file("b.dll").read_bytes(), b"b.dll 1\r\n")
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "2", "b.dll": "1"})

    def test_failed_download_records_nothing_and_installs_no_stale_package(self):
        old = [Module("a.dll", "1"), Module("b.dll", "1")]
        # "gate" is refused before any request (its name would leave the staging folder);
        # while its box is up the server goes away, so b.dll cannot be fetched.
        new = [Module("a.dll", "2"), Module("gate", "1", file_name="..\\gate.zip"), Module("b.dll", "2")]
        self.server_folder.publish("ZEPRA", new)
        server = self.serve()
        self.installed("ZEPRA", old)
        # A newer b.dll package that an earlier run left behind.
        self.machine.host_path(STAGING).mkdir(parents=True)
        self.machine.host_path(STAGING + "\\b.dll.zip").write_bytes(
            Module("b.dll", "9", files={"b.dll": b"stale"}).package())
        params = self.params()
        proc = self.start_update(params)

        self.machine.wait_window("^Information$", 60)
        server.close()
        self.dismiss_box("Information", 1)
        boxes = self.dismiss_box("Information", 2)
        self.finish(proc)

        self.assertEqual(len(boxes), 2)
        self.assertIn("clientfile/b.dll.zip", boxes[1])
        # Progress steps are reported for the failed entries all the same.
        self.assertEqual(self.app_file("a.dll").read_bytes(), b"a.dll 2\r\n")
        self.assertEqual(self.app_file("b.dll").read_bytes(), b"b.dll 1\r\n", "stale package unpacked")
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "2", "b.dll": "1"})
        self.assertEqual(self.client_record(self.app_path("ZEPRA.exe")),
                         client_command(self.app_path("ZEPRA.exe"), params))

    def test_dll_held_open_by_a_running_program_is_left_in_place(self):
        old = [Module("a.dll", "1"), Module("b.dll", "1")]
        self.server_folder.publish("ZEPRA", [Module("a.dll", "2"), Module("b.dll", "2")])
        self.serve()
        self.installed("ZEPRA", old)
        self.machine.install(self.holder, "C:\\tools\\file_holder.exe")
        self.machine.start("C:\\tools\\file_holder.exe", [self.app_path("a.dll"), "300", "C:\\tools\\holding"])
        self.assertTrue(wait_for_file(self.machine.host_path("C:\\tools\\holding"), 60))

        proc = self.start_update(self.params())
        boxes = self.dismiss_box("AutoUpdate", 1)
        self.finish(proc)

        self.assertEqual(len(boxes), 1)
        self.assertIn("模块“a.dll”没有安装", boxes[0])
        self.assertEqual(self.app_file("a.dll").read_bytes(), b"a.dll 1\r\n")
        self.assertEqual(self.app_file("b.dll").read_bytes(), b"b.dll 2\r\n")
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "1", "b.dll": "2"})

    def test_a_package_is_installed_whole_or_not_at_all(self):
        # A folder module of three files; the third is held open without
        # delete sharing, so it can be neither replaced nor renamed.
        files = {f"kit/{n}.dll": f"{n} 2".encode() for n in ("one", "two", "three")}
        self.server_folder.publish("ZEPRA", [Module("kit", "2", files=files)])
        self.serve()
        self.installed("ZEPRA", [Module("kit", "1", files={f"kit/{n}.dll": f"{n} 1".encode()
                                                           for n in ("one", "two", "three")})])
        self.machine.install(self.holder, "C:\\tools\\file_holder.exe")
        self.machine.start("C:\\tools\\file_holder.exe", [self.app_path("kit\\three.dll"), "300", "C:\\tools\\holding"])
        self.assertTrue(wait_for_file(self.machine.host_path("C:\\tools\\holding"), 60))

        proc = self.start_update(self.params())
        boxes = self.dismiss_box("AutoUpdate", 1)
        self.finish(proc)

        # Said before the client starts, with the system's reason.
        self.assertEqual(len(boxes), 1)
        self.assertIn("模块“kit”没有安装", boxes[0])
        self.assertIn("three.dll", boxes[0])
        self.assertEqual({n: self.app_file(f"kit\\{n}.dll").read_bytes() for n in ("one", "two", "three")},
                         {n: f"{n} 1".encode() for n in ("one", "two", "three")})
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"kit": "1"})
        self.assertEqual(sorted(p.name for p in self.app_file("kit").iterdir()), ["one.dll", "three.dll", "two.dll"])
        self.assertEqual(self.journals(), [])

    def test_a_dll_loaded_by_the_running_client_is_replaced(self):
        self.server_folder.publish("ZEPRA", [Module("a.dll", "2")])
        self.serve()
        self.installed("ZEPRA", [Module("a.dll", "1")])
        self.machine.install(self.programs.planted_dll, self.app_path("a.dll"))
        holder = self.machine.install(self.programs.build / "tests/win32/programs/module_holder.exe",
                                      "C:\\tools\\module_holder.exe")
        self.machine.start(holder, [self.app_path("a.dll"), "300", "C:\\tools\\holding"])
        self.assertTrue(wait_for_file(self.machine.host_path("C:\\tools\\holding"), 60))

        self.run_update(self.params())

        self.assertEqual(self.app_file("a.dll").read_bytes(), b"a.dll 2\r\n")
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "2"})
        leftovers = [p.name for p in self.app_file("a.dll").parent.iterdir() if ".~old" in p.name]
        # The original goes as soon as nobody has it loaded: here, or on the next run.
        subprocess.run(["wineserver", "-k"], env=self.machine.env, timeout=60)
        self.run_update(self.params())
        self.assertEqual([p.name for p in self.app_file("a.dll").parent.iterdir() if ".~old" in p.name], [],
                         leftovers)

    def test_error_state_and_the_button_starting_the_client(self):
        # An application name with a path in it selects a nested group in the
        # manifest, but cannot be written as an element of the configuration:
        # recording fails after the packages were installed.
        app = "Sales/Reports"
        manifest = "\r\n".join([DECLARATION, "<data>", "  <Sales>", "    <Reports>",
                                '      <a.dll Version="2" FileName="a.dll.zip" IsReplace="1"/>',
                                '      <b.dll Version="2" FileName="b.dll.zip" IsReplace="1"/>',
                                "    </Reports>", "  </Sales>", "</data>", ""]).encode(ENCODING)
        self.server_folder.publish("Sales", [Module("a.dll", "2"), Module("b.dll", "2")])
        (self.server_folder.base / "AutoUpdateIniS.xml").write_bytes(manifest)
        self.serve()
        # In the form the updater writes, so that set-up saves it unchanged.
        template = "\r\n".join([DECLARATION, "<data>", '  <setup path="D:\\old"/>', "</data>", ""]).encode(ENCODING)
        self.server_folder.write_template(template)
        client = "C:\\Sales\\client.exe"
        self.machine.install(self.programs.client, client)
        params = self.params(app, client=client)
        proc = self.start_update(params)

        x, y = self.window_origin()
        image = self.machine.wait_screen(
            "update-error-state", lambda im: im.count(x + 192, y + 144, 121, 33, BUTTON_FACE) > 2000, timeout=60)
        self.assertGreater(image.count(x + 192, y + 144, 121, 33, BUTTON_FACE), 2000, "button")
        self.assertGreater(image.count_light(x + 32, y + 72, 400, 18), 30, "error text")
        self.assertEqual(image.count(x + 33, y + 109, FULL_BAR, 1, RATE_FILL), FULL_BAR * 3 // 4, "bar kept")
        self.assertEqual(self.app_file("a.dll").read_bytes(), b"a.dll 2\r\n", "installed before recording")
        self.assertEqual(self.app_file(config_name(self.server.port)).read_bytes(), template, "not saved")
        self.assertIsNone(proc.poll(), "waits for the button")
        self.assertFalse(self.machine.host_path("C:\\Sales\\client-command.txt").exists())

        self.machine.xdotool("mousemove", "--sync", x + 252, y + 160)
        self.machine.xdotool("click", "1")
        self.assertEqual(self.machine.wait_exit(proc, 60), 0)
        self.assertEqual(self.client_record(client), client_command(client, params))

    def test_url_form_runs_a_whole_update(self):
        self.server_folder.publish("ZEPRA", [Module("a.dll", "2")])
        self.serve()
        url = self.server_folder.url(self.server.port)
        raw = "ts=U0042销售部abcdefghijklmnop".encode("gbk")
        uid = base64.b64encode(raw).decode()
        before = time.strftime("%Y%m%d")

        proc = self.start_update([f"ZEPRA:?UID={uid}&url={url}"])
        question = self.trust_new_server()[0]
        self.finish(proc)

        self.assertIn(f"“127.0.0.1:{self.server.port}”", question)
        self.assertEqual(self.app_file("a.dll").read_bytes(), b"a.dll 2\r\n")
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "2"})
        user = raw[3:23].decode("gbk")  # the user id: 20 bytes after the first three
        record = self.client_record(self.app_path("ZEPRA.exe"))
        expected = {self.app_path("ZEPRA.exe") + "".join(f' "{w}"' for w in words)
                    for day in {before, time.strftime("%Y%m%d")}
                    for words in [[user, "ZEPRA", day, " ", " ", " ", " ", url, str(self.server.port), " ", "HTTP",
                                   " "]]}
        self.assertIn(record, expected)

    def test_progress_state_while_a_package_is_slow(self):
        modules = [Module("a.dll", "2"), Module("b.dll", "2"), Module("c.dll", "2")]
        self.server_folder.publish("ZEPRA", modules)
        self.serve(["/upd/clientfile/c.dll.zip:delay=8"])
        proc = self.start_update(self.params())

        x, y = self.window_origin()
        fill = FULL_BAR * 1 // 6
        image = self.machine.wait_screen(
            "update-progress", lambda im: im.count(x + 33, y + 109, FULL_BAR, 1, RATE_FILL) == fill, timeout=60)
        self.assertEqual(image.count(x + 33, y + 109, FULL_BAR, 1, RATE_FILL), fill)
        self.assertEqual(image.count(x + 33, y + 97, FULL_BAR, 24, RATE_FILL), fill * 24)
        self.assertEqual(image.pixel(x + 250, y + 190), BACKGROUND)
        self.assertGreater(image.count_light(x + 32, y + 144, 60, 28), 20, "percentage")
        self.assertEqual(image.count(x + 192, y + 144, 121, 33, BUTTON_FACE), 0, "no button")
        self.finish(proc)

    # -- a server that goes silent half-way through a package

    def stall_limit(self, seconds):
        result = self.machine.run("reg", ["add", POLICY_KEY, "/v", "StallSeconds", "/t", "REG_DWORD", "/d",
                                          str(seconds), "/reg:32", "/f"])
        self.assertEqual(result.returncode, 0, result.stderr)

    def publish_with_a_large_b(self):
        large = Module("b.dll", "2", files={"b.dll": os.urandom(400_000)})
        self.server_folder.publish("ZEPRA", [Module("a.dll", "2"), large])
        return large, len(large.package())

    def test_a_silent_server_is_left_and_the_package_continued_with_a_range(self):
        self.stall_limit(5)
        large, size = self.publish_with_a_large_b()
        server = self.serve([f"/upd/clientfile/b.dll.zip:stall={size // 2}"])
        self.installed("ZEPRA", [Module("a.dll", "1"), Module("b.dll", "1")])
        started = time.monotonic()

        trace = self.run_update(self.params())

        self.assertLess(time.monotonic() - started, 60)
        self.assertEqual(trace.boxes, [])
        self.assertEqual(self.app_file("b.dll").read_bytes(), large.files["b.dll"])
        self.assertEqual(self.machine.host_path(STAGING + "\\b.dll.zip").read_bytes(), large.package())
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "2", "b.dll": "2"})
        ranges = re.findall(r"GET /upd/clientfile/b.dll.zip HTTP/1.1\r\n(?:[^\r]+\r\n)*?Range: bytes=(\d+)-\r\n",
                            server.log.read_bytes().decode("latin-1"))
        self.assertEqual(len(ranges), 1, ranges)
        self.assertTrue(0 < int(ranges[0]) <= size // 2, ranges)

    def test_a_silent_server_without_ranges_fails_the_package_and_the_updater_ends(self):
        self.stall_limit(5)
        _, size = self.publish_with_a_large_b()
        self.serve([f"/upd/clientfile/b.dll.zip:stall={size // 2}", "/upd/clientfile/b.dll.zip:no-ranges"])
        self.installed("ZEPRA", [Module("a.dll", "1"), Module("b.dll", "1")])
        params = self.params()
        proc = self.start_update(params)

        boxes = self.dismiss_box("Information", 1, timeout=60)
        self.finish(proc)

        start = f'文件 "{self.server_folder.url(self.server.port)}clientfile/b.dll.zip" 无法下载。错误信息：'
        self.assertTrue(boxes[0].startswith(start), boxes[0])
        self.assertEqual(self.app_file("a.dll").read_bytes(), b"a.dll 2\r\n")
        self.assertEqual(self.app_file("b.dll").read_bytes(), b"b.dll 1\r\n")
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "2", "b.dll": "1"})
        self.assertEqual(sorted(p.name for p in self.machine.host_path(STAGING).iterdir()), ["a.dll.zip"])
        self.assertEqual(self.client_record(self.app_path("ZEPRA.exe")),
                         client_command(self.app_path("ZEPRA.exe"), params))


if __name__ == "__main__":
    unittest.main(verbosity=2)

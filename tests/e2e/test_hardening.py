"""What a hostile page, server, network or local user can make of the updater,
which runs as administrator: planted programs and DLLs, command lines with
quotes, hidden starts, entry names and shortcut titles that leave their
folder, cut downloads, and folder names in Chinese."""
import base64
import os
import re
import time
import unittest

from harness import BUTTON_FACE, NATIVE_REGSVR32, STAGING, UpdateTestCase, client_command, wait_for_file
from sample_app import Module, make_zip, recorded_versions

SYSTEM_DIR = "C:\\windows\\system32"
SW_HIDE = 0


class Hardening(UpdateTestCase):
    def plant(self, windows_path):
        """The command recorder under this name: it logs to <path less extension>.log if it ever runs."""
        self.machine.install(self.recorder, windows_path)
        return self.machine.host_path(windows_path.rsplit(".", 1)[0] + ".log")

    def quoted_updater(self):
        return f'"{self.UPDATER}"'

    # -- programs the updater starts

    def test_no_planted_program_runs_for_the_clean_up_or_regsvr32(self):
        planted = [self.plant(self.app_path("RD.exe")), self.plant(self.app_path("Regsvr32.exe"))]
        regsvr32_log = self.plant(SYSTEM_DIR + "\\regsvr32.exe")
        self.server_folder.publish("ZEPRA", [Module("x.ocx", "1", register=True, files={"x.ocx": b"ocx"})])
        self.serve()

        self.run_update(self.params(), extra_env=NATIVE_REGSVR32)

        self.assertTrue(wait_for_file(regsvr32_log, 30), "Regsvr32 of the system folder did not run")
        self.assertEqual(regsvr32_log.read_text(encoding="utf-8"), f'Regsvr32 /s "{self.UPDATER_DIR}\\x.ocx " \n')
        time.sleep(1)
        for log in planted:
            self.assertFalse(log.exists(), f"{log.name}: a planted program ran")

    def test_a_url_split_into_twelve_pieces_is_still_the_url_form(self):
        self.server_folder.publish("ZEPRA", [Module("a.dll", "2")])
        self.serve()
        evil_log = self.plant("C:\\planted\\evil.exe")
        url = f"ZEPRA:?UID={base64.b64encode(b'ts=U0042').decode()}&url={self.server_folder.url(self.server.port)}"
        # Raw quotes a page put into its link split it into twelve arguments,
        # the last naming a program of the attacker's.
        line = f'{self.quoted_updater()} "{url}" a b c d e f g h i j C:\\planted\\evil.exe'

        proc = self.launch_update(line)
        self.trust_new_server()

        self.assertEqual(self.machine.wait_exit(proc, 90), 0)
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "2"})
        self.assertEqual(self.client_args(self.app_path("ZEPRA.exe"))[1], "U0042")
        self.assertFalse(evil_log.exists(), "the program named by the page ran")

    def test_a_hidden_start_still_updates_and_starts_the_client(self):
        self.server_folder.publish("ZEPRA", [Module("a.dll", "2")])
        self.serve()
        params = self.params()
        line = self.quoted_updater() + "".join(f' "{p}"' for p in params)

        proc = self.launch_update(line, SW_HIDE)

        self.assertEqual(self.machine.wait_exit(proc, 90), 0)
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "2"})
        self.assertEqual(self.client_record(self.app_path("ZEPRA.exe")),
                         client_command(self.app_path("ZEPRA.exe"), params))

    def test_the_client_gets_back_the_bytes_of_its_twelve_values(self):
        self.server_folder.publish("Sales", [Module("s.dll", "1")])
        self.serve()
        client = "C:\\Sales\\client.exe"
        self.machine.install(self.programs.client, client)
        params = self.params("Sales", client=client)
        params[5] = 'say "hi" \\'      # a quote inside, a backslash at the end
        params[6] = 'C:\\dir\\'        # one backslash before the closing quote stays one
        params[7] = 'a\\"b'

        self.run_update(params)

        record = self.client_record(client)
        self.assertEqual(record, client_command(client, params))
        self.assertIn(' "C:\\dir\\" "a\\"b" ', record)

    def test_url_form_values_lose_quotes_controls_bidi_marks_and_end_backslashes(self):
        self.server_folder.publish("ZEPRA", [])
        self.serve()
        uid = base64.b64encode(b'ts=ab"c\x01d\\').decode()
        url = self.server_folder.url(self.server.port)
        # A right-to-left override inside the host would show it reversed.
        marked = url.replace("127.0.0.1", "127.0.0.1\u202e")

        proc = self.start_update([f"ZEPRA:?UID={uid}&url={marked}\\"])
        self.trust_new_server()
        self.finish(proc)

        args = self.client_args(self.app_path("ZEPRA.exe"))
        self.assertEqual(len(args), 13)
        self.assertEqual(args[1], "abcd")
        self.assertEqual(args[8:10], [url, str(self.server.port)])

    # -- servers a web page names

    def refused_run(self, url, answer=None):
        """Starts the URL form for `url`, answers the first-use question with
        `answer` when given, waits for the error state, closes the window and
        returns the traced box texts and the client's recorded command line."""
        uid = base64.b64encode(b"ts=U0042").decode()
        proc = self.start_update([f"ZEPRA:?UID={uid}&url={url}"])
        boxes = self.dismiss_box("AutoUpdate", 1, key=answer) if answer else []
        x, y, _, _ = self.machine.geometry(self.machine.wait_window())
        self.machine.wait_screen("refused-server", lambda im: im.count(x + 192, y + 144, 121, 33, BUTTON_FACE) > 2000,
                                 timeout=60)
        self.assertIsNone(proc.poll(), "waits for the button")
        self.machine.xdotool("mousemove", "--sync", x + 252, y + 160)
        self.machine.xdotool("click", "1")
        self.assertEqual(self.machine.wait_exit(proc, 60), 0)
        return boxes, self.client_record(self.app_path("ZEPRA.exe"))

    def refused_command(self):
        """The client's command line after a refused server: no address, no port."""
        words = ["U0042", "ZEPRA", None, " ", " ", " ", " ", "", "", " ", "HTTP", " "]
        return re.compile(re.escape(self.app_path("ZEPRA.exe")) + "".join(
            ' "[0-9]{8}"' if w is None else re.escape(f' "{w}"') for w in words) + "$")

    def test_an_address_with_a_user_part_is_refused_before_any_question(self):
        self.server_folder.publish("ZEPRA", [Module("a.dll", "2")])
        self.serve()
        # Shown as "erp.corp:80@127.0.0.1", contacting 127.0.0.1.
        url = self.server_folder.url(self.server.port).replace("http://", "http://erp.corp:80@")

        boxes, record = self.refused_run(url)

        self.assertEqual(boxes, [])
        self.assertEqual(self.trace().boxes, [])
        self.assertEqual(self.server.requests(), [])
        self.assertRegex(record, self.refused_command())
        self.assertFalse(self.app_file("a.dll").exists())

    def test_a_declined_server_fetches_nothing_and_the_client_gets_no_address(self):
        self.server_folder.publish("ZEPRA", [Module("a.dll", "2")])
        self.serve()

        # The default button is "No".
        boxes, record = self.refused_run(self.server_folder.url(self.server.port), answer="Return")

        self.assertIn(f"“127.0.0.1:{self.server.port}”", boxes[0])
        self.assertEqual(self.server.requests(), [])
        self.assertRegex(record, self.refused_command())
        self.assertFalse(self.app_file("a.dll").exists())
        self.assertFalse(self.app_file("127.0.0.1_%d_AutoUpdateIniC.xml" % self.server.port).exists())

    def test_a_planted_wininet_dll_is_not_loaded(self):
        marker = self.machine.host_path(self.app_path("wininet.dll.loaded"))
        self.machine.install(self.programs.planted_dll, self.app_path("wininet.dll"))
        self.server_folder.publish("ZEPRA", [Module("a.dll", "2")])
        self.serve()

        # Wine prefers its own wininet; Windows takes a DLL beside the program
        # first, as this setting makes Wine do.
        self.run_update(self.params(), extra_env={"WINEDLLOVERRIDES": "mscoree,mshtml=;wininet=n,b"})

        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "2"})
        self.assertFalse(marker.exists(), "the planted wininet.dll was loaded")

    # -- files the updater writes

    def test_an_entry_name_with_a_nul_leaves_the_installed_file_alone(self):
        old = [Module("a.dll", "1"), Module("b.dll", "1")]
        # "b.dll" + NUL + "x": a Win32 path ends at the NUL, so this entry
        # would be written over b.dll itself (its temporary file is b.dll).
        package = make_zip({"a.dll": b"a.dll 2\r\n", "b.dll!x": b"evil"}).replace(b"b.dll!x", b"b.dll\0x")
        self.server_folder.publish("ZEPRA", [Module("a.dll", "2"), Module("b.dll", "1")])
        self.server_folder.package_path("a.dll.zip").write_bytes(package)
        self.serve()
        self.installed("ZEPRA", old)

        proc = self.start_update(self.params())
        boxes = self.dismiss_box("AutoUpdate", 1)
        self.finish(proc)

        self.assertIn("模块“a.dll”没有安装", boxes[0])
        self.assertEqual(self.app_file("b.dll").read_bytes(), b"b.dll 1\r\n")
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "1", "b.dll": "1"})

    def test_a_shortcut_title_cannot_leave_the_desktop(self):
        client = Module("ZEPRA.exe", "2", files={"ZEPRA.exe": self.programs.client.read_bytes()},
                        script="../../../../evil")
        self.server_folder.publish("ZEPRA", [client], desktop="1")
        self.serve()
        proc = self.start_update(self.params())

        boxes = self.dismiss_box("AutoUpdate", 1)
        self.finish(proc)

        self.assertEqual(boxes, ["快捷方式名称“../../../../evil”无效。"])
        self.assertEqual(list(self.machine.host_path("C:\\").rglob("evil*")), [])

    # -- outcomes reported truly

    def test_a_cut_or_empty_download_is_a_failed_download(self):
        old = [Module("a.dll", "1"), Module("b.dll", "1"), Module("c.dll", "1")]
        self.server_folder.publish("ZEPRA", [Module("a.dll", "2"), Module("b.dll", "2"), Module("c.dll", "2")])
        self.serve(["/upd/clientfile/b.dll.zip:truncate=10", "/upd/clientfile/b.dll.zip:no-ranges",
                    "/upd/clientfile/c.dll.zip:drop=0"])
        self.installed("ZEPRA", old)
        proc = self.start_update(self.params())

        self.dismiss_box("Information", 1)
        boxes = self.dismiss_box("Information", 2)
        trace = self.finish(proc)

        size = len(self.server_folder.package_path("b.dll.zip").read_bytes())
        url = self.server_folder.url(self.server.port)
        tail = "\r\n\r\n请检查文件是否存在，或网络是否连通。"
        # Wine's trace cuts the texts short after the URL; the unit tests
        # check the error lines byte for byte.
        for box, name, line in ((boxes[0], "b.dll.zip", f"下载不完整：只收到 10 字节，服务器声明的长度为 {size} 字节"),
                                (boxes[1], "c.dll.zip", "服务器没有返回任何数据")):
            start = f'文件 "{url}clientfile/{name}" 无法下载。错误信息：'
            self.assertBoxText(box, f"{start}\r\n{line}，连接可能已中断。{tail}", shown=start)
        self.assertEqual(self.app_file("b.dll").read_bytes(), b"b.dll 1\r\n")
        self.assertEqual(self.app_file("c.dll").read_bytes(), b"c.dll 1\r\n")
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "2", "b.dll": "1", "c.dll": "1"})
        # Nothing partial under the package name or beside it.
        self.assertEqual(sorted(p.name for p in self.machine.host_path(STAGING).iterdir()), ["a.dll.zip"])

    def test_a_dropped_or_cut_download_is_continued_with_a_range_request(self):
        big = {name: Module(name, "2", files={name: os.urandom(400_000)}) for name in ("b.dll", "c.dll")}
        self.server_folder.publish("ZEPRA", [Module("a.dll", "2"), *big.values()])
        sizes = {name: len(m.package()) for name, m in big.items()}
        server = self.serve([f"/upd/clientfile/b.dll.zip:drop={sizes['b.dll'] // 2}",
                             f"/upd/clientfile/c.dll.zip:truncate={sizes['c.dll'] // 2}"])
        self.installed("ZEPRA", [Module("a.dll", "1"), Module("b.dll", "1"), Module("c.dll", "1")])

        trace = self.run_update(self.params())

        self.assertEqual(trace.boxes, [])
        for name, module in big.items():
            self.assertEqual(self.app_file(name).read_bytes(), module.files[name])
            self.assertEqual(self.machine.host_path(f"{STAGING}\\{name}.zip").read_bytes(), module.package())
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "2", "b.dll": "2", "c.dll": "2"})
        self.assertEqual(sorted(p.name for p in self.machine.host_path(STAGING).iterdir()),
                         ["a.dll.zip", "b.dll.zip", "c.dll.zip"])
        ranges = re.findall(r"GET (/upd/clientfile/\S+) HTTP/1.1\r\n(?:[^\r]+\r\n)*?Range: bytes=(\d+)-\r\n",
                            server.log.read_bytes().decode("latin-1"))
        self.assertEqual([path for path, _ in ranges], ["/upd/clientfile/b.dll.zip", "/upd/clientfile/c.dll.zip"])
        self.assertEqual(int(ranges[1][1]), sizes["c.dll"] // 2)
        self.assertTrue(0 < int(ranges[0][1]) <= sizes["b.dll"] // 2, ranges)


class FolderWithBlanks(UpdateTestCase):
    """The updater in a folder with a blank: a program planted where an
    unquoted command line would be cut must never run."""
    UPDATER_DIR = "C:\\ERP Client\\Update"
    UPDATER = UPDATER_DIR + "\\AutoUpdate.exe"

    def test_programs_start_by_their_full_path(self):
        planted = self.machine.host_path("C:\\ERP.log")
        self.machine.install(self.recorder, "C:\\ERP.exe")
        tool = Module("tool.exe", "1", files={"tool.exe": self.recorder.read_bytes()}, auto_run="tool.exe")
        self.server_folder.publish("ZEPRA", [tool])
        self.serve()
        params = self.params()

        self.run_update(params)

        self.assertEqual(self.app_file("tool.log").read_text(encoding="utf-8"), self.app_path("tool.exe") + "\n")
        client = self.app_path("ZEPRA.exe")
        self.assertEqual(self.client_args(client)[0], client)
        self.assertEqual(self.client_record(client), client_command(f'"{client}"', params))
        self.assertFalse(planted.exists(), "C:\\ERP.exe ran")


class ChineseFolders(UpdateTestCase):
    """The installation root is the updater's folder less 7 bytes of the system
    code page; folder names in Chinese must never have a character cut."""

    def test_updates_succeed_and_record_whole_characters(self):
        self.server_folder.publish("ZEPRA", [Module("a.dll", "2")])
        self.serve()
        cases = [("C:\\ZEPRA\\自动更新", "C:\\ZEPRA\\"),      # the cut falls inside 自
                 ("C:\\中文客户端\\Update", "C:\\中文客户端"),
                 ("C:\\客户\\A更新程序", "C:\\客户\\A")]         # and inside 更
        for folder, root in cases:
            with self.subTest(folder=folder):
                self.UPDATER_DIR, self.UPDATER = folder, folder + "\\AutoUpdate.exe"
                self.machine.install(self.programs.autoupdate, self.UPDATER)
                self.machine.install(self.programs.client, self.app_path("ZEPRA.exe"))
                self.trace_file.unlink(missing_ok=True)

                self.run_update(self.params())

                self.assertEqual(self.app_file("a.dll").read_bytes(), b"a.dll 2\r\n")
                config = self.config()
                self.assertEqual(recorded_versions(config, "ZEPRA"), {"a.dll": "2"})
                self.assertEqual(config.find("setup").get("path"), root)


if __name__ == "__main__":
    unittest.main(verbosity=2)

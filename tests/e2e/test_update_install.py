"""Whole updates through the real AutoUpdate.exe: what gets installed where,
what is recorded in the client configuration and what is started."""
import re
import time
import unittest

from harness import NATIVE_REGSVR32, PRIVATE, STAGING, UpdateTestCase, client_command, wait_for_file
from sample_app import Module, config_name, recorded_versions

SYSTEM_DIR = "C:\\windows\\system32"
WINDOWS_DIR = "C:\\windows"
BDE_KEY = "HKLM\\Software\\Borland\\BLW32"


class Install(UpdateTestCase):
    def debug_ini(self):
        return self.app_file("debug.ini").read_bytes().decode("gbk")

    # -- nothing to do

    def test_already_current_starts_zepra_from_the_updater_folder(self):
        modules = [Module("a.dll", "1.0"), Module("reports", "3", files={"reports/r.txt": b"r"})]
        self.server_folder.publish("ZEPRA", modules)
        self.serve()
        self.installed("ZEPRA", modules)
        params = self.params("ZEPRA", client="C:\\elsewhere\\ignored.exe")

        self.run_update(params)

        self.assertEqual(self.server.requests(), ["/upd/AutoUpdateIniS.xml"])
        self.assertIn("等更新模块=0\r\n", self.debug_ini())
        self.assertEqual(self.client_record(self.app_path("ZEPRA.exe")),
                         client_command(self.app_path("ZEPRA.exe"), params))

    def test_already_current_starts_the_given_client_of_another_application(self):
        modules = [Module("s.dll", "20240101")]
        self.server_folder.publish("Sales", modules)
        self.serve()
        self.installed("Sales", modules)
        client = "C:\\Sales\\client.exe"
        self.machine.install(self.programs.client, client)
        params = self.params("Sales", client=client)

        self.run_update(params)

        self.assertEqual(self.client_record(client), client_command(client, params))
        self.assertFalse(self.app_file("client-command.txt").exists(), "ZEPRA.exe is only for ZEPRA")

    # -- updates

    def test_two_newer_dlls_are_replaced_and_recorded(self):
        old = [Module("a.dll", "1.0"), Module("b.dll", "1.0"), Module("c.dll", "1.0")]
        new = [Module("a.dll", "1.1"), Module("b.dll", "1.1"), old[2]]
        self.server_folder.publish("ZEPRA", new)
        self.serve()
        self.installed("ZEPRA", old)
        params = self.params()

        self.run_update(params)

        self.assertEqual(self.server.requests(),
                         ["/upd/AutoUpdateIniS.xml", "/upd/clientfile/a.dll.zip", "/upd/clientfile/b.dll.zip"])
        for m in new:
            self.assertEqual(self.app_file(m.name).read_bytes(), m.files[m.name], m.name)
        config = self.config()
        self.assertEqual(recorded_versions(config, "ZEPRA"), {"a.dll": "1.1", "b.dll": "1.1", "c.dll": "1.0"})
        self.assertEqual(config.find("setup").get("path"), "C:\\ZEPRA")
        self.assertEqual(config.find("ZEPRA/a.dll").attrib, {"version": "1.1", "setupPath": "", "script": ""})
        log = self.debug_ini()
        for line in ("等更新模块=2", "a.dll.zip=1.1", "b.dll.zip=1.1"):
            self.assertIn(line + "\r\n", log)
        self.assertEqual(self.client_record(self.app_path("ZEPRA.exe")),
                         client_command(self.app_path("ZEPRA.exe"), params))

    def test_module_missing_on_disk_and_newer_is_installed_twice(self):
        self.server_folder.publish("ZEPRA", [Module("a.dll", "2.0", replace=True)])
        self.serve()
        self.installed("ZEPRA", [Module("a.dll", "1.0")])
        self.app_file("a.dll").unlink()

        self.run_update(self.params())

        self.assertEqual(self.server.requests()[1:], ["/upd/clientfile/a.dll.zip"] * 2)
        self.assertEqual(self.app_file("a.dll").read_bytes(), b"a.dll 2.0\r\n")
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "2.0"})
        self.assertIn("等更新模块=2\r\n", self.debug_ini())

    def test_system_folder_module_is_unpacked_there_and_registered(self):
        # Regsvr32 of the system folder, replaced by the stand-in.
        self.machine.install(self.recorder, SYSTEM_DIR + "\\regsvr32.exe")
        modules = [Module("x.ocx", "1", "#System32", register=True, files={"x.ocx": b"ocx"}),
                   Module("y.dll", "1", "#windows", files={"y.dll": b"y"}),
                   Module("z.dll", "1", "lib", register=True, file_name="z.dll.ZIP", files={"z.dll": b"z"}),
                   Module("plain.dll", "1", register="0")]
        self.server_folder.publish("ZEPRA", modules)
        self.serve()

        self.run_update(self.params(), extra_env=NATIVE_REGSVR32)

        self.assertEqual(self.machine.host_path(SYSTEM_DIR + "\\x.ocx").read_bytes(), b"ocx")
        self.assertEqual(self.machine.host_path(WINDOWS_DIR + "\\y.dll").read_bytes(), b"y")
        self.assertEqual(self.app_file("z.dll").read_bytes(), b"z")
        self.assertEqual(self.app_file("plain.dll").read_bytes(), b"plain.dll 1\r\n")
        # Nobody waits for Regsvr32: wait for both records, in any order.
        expected = sorted([f'Regsvr32 /s "{SYSTEM_DIR}\\x.ocx " ', f'Regsvr32 /s "{self.UPDATER_DIR}\\z.dll " '])
        log = self.machine.host_path(SYSTEM_DIR + "\\regsvr32.log")
        self.assertTrue(wait_for_file(log, 30))
        for _ in range(100):
            lines = sorted(log.read_text(encoding="utf-8").splitlines())
            if len(lines) >= 2:
                break
            time.sleep(0.2)
        self.assertEqual(lines, expected)
        self.assertEqual(self.config().find("ZEPRA/x.ocx").get("setupPath"), "#System32")

    def test_folder_module_is_unpacked_with_its_tree(self):
        files = {"reports/daily.rpt": b"daily", "reports/monthly/summary.rpt": b"summary"}
        current = Module("forms", "5", files={"forms/f.frm": b"f"})
        modules = [Module("reports", "7", files=files), current]
        self.server_folder.publish("ZEPRA", modules)
        self.serve()
        self.installed("ZEPRA", [current])

        self.run_update(self.params())

        self.assertEqual(self.server.requests()[1:], ["/upd/clientfile/reports.zip"])
        for name, data in files.items():
            self.assertEqual(self.app_file(name.replace("/", "\\")).read_bytes(), data, name)
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"forms": "5", "reports": "7"})

    def test_autorun_program_runs_and_is_waited_for(self):
        recorder = self.recorder.read_bytes()
        modules = [Module("tool.exe", "1", files={"tool.exe": recorder}, auto_run="tool.exe"),
                   Module("b.dll", "1", auto_run="not-in-package.exe")]
        self.server_folder.publish("ZEPRA", modules)
        self.serve()

        proc = self.start_update(self.params(), extra_env={"AU_RECORDER_DELAY_MS": "2000"})
        self.finish(proc)

        log = self.app_file("tool.log")
        # Already there when the updater ended: it was waited for.
        self.assertTrue(log.exists(), "the AutoRun program did not run, or was not waited for")
        self.assertEqual(log.read_text(encoding="utf-8"), self.app_path("tool.exe") + "\n")
        config = self.app_file(config_name(self.server.port))
        self.assertLessEqual(log.stat().st_mtime, config.stat().st_mtime, "recorded before the program ended")
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"tool.exe": "1", "b.dll": "1"})

    def bde_modules(self):
        recorder = self.recorder.read_bytes()
        return [Module("a.dll", "1"),
                Module("bde", "5.2", "#BDE", file_name="BdeSetup.exe.zip", files={"BdeSetup.exe": recorder})]

    def test_bde_entry_is_skipped_when_the_database_engine_is_present(self):
        added = self.machine.run("reg", ["add", BDE_KEY, "/v", "BLAPIPATH", "/d", "C:\\Program Files\\BDE",
                                         "/f", "/reg:32"])
        self.assertEqual(added.returncode, 0, added.stderr)
        self.server_folder.publish("ZEPRA", self.bde_modules())
        self.serve()

        self.run_update(self.params())

        # Its download step and its progress call are left out.
        self.assertEqual(self.server.requests()[2:], ["/upd/clientfile/a.dll.zip"])
        self.assertFalse(self.machine.host_path(STAGING + "\\BdeSetup.exe").exists())
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "1", "bde": "5.2"})

    def test_bde_setup_runs_from_a_private_folder_when_the_database_engine_is_missing(self):
        self.assertIsNone(self.machine.reg_query(BDE_KEY, "BLAPIPATH"))
        self.server_folder.publish("ZEPRA", self.bde_modules())
        self.serve()
        # A file of that name in the shared temporary folder is nothing to the updater.
        planted = self.machine.host_path("C:\\temp\\BdeSetup.exe")
        planted.parent.mkdir(parents=True, exist_ok=True)
        planted.write_bytes(b"MZ planted")
        log = self.machine.host_path("C:\\tools\\bde.log")
        log.parent.mkdir(parents=True)

        self.finish(self.start_update(self.params(), extra_env={"AU_RECORDER_DELAY_MS": "2000",
                                                                         "AU_RECORDER_LOG": "C:\\tools\\bde.log"}))

        self.assertTrue(log.exists(), "the BDE setup did not run, or was not waited for")
        # Started from a folder of its own that only administrators can
        # write, as its current folder; the folder is gone afterwards.
        started, current = log.read_text(encoding="utf-8").splitlines()
        folder = started.rsplit("\\", 1)[0]
        self.assertRegex(started, "^" + re.escape(PRIVATE + "\\bde-") + r"[^\\]+\\BdeSetup\.exe$")
        self.assertEqual(current, "in " + folder)
        self.assertFalse(self.machine.host_path(folder).exists())
        self.assertEqual(planted.read_bytes(), b"MZ planted")
        self.assertFalse(self.app_file("BdeSetup.exe").exists(), "unpacked into its own folder only")
        self.assertEqual(recorded_versions(self.config(), "ZEPRA"), {"a.dll": "1", "bde": "5.2"})

    def test_desktop_shortcut_points_at_the_main_program(self):
        title = "ZEPRA 客户端"
        main = Module("ZEPRA.exe", "3.0", files={"ZEPRA.exe": self.programs.client.read_bytes()}, script=title)
        self.server_folder.publish("ZEPRA", [Module("a.dll", "1"), main], mainfile="ZEPRA.exe", desktop="1")
        self.serve()

        trace = self.run_update(self.params())

        self.assertEqual(trace.boxes, [])
        app = self.config().find("ZEPRA")
        target = self.app_path("ZEPRA.exe")
        self.assertEqual(list(app.attrib.items()), [("name", title), ("mainfile", target), ("IsDesktop", "1")])
        links = list(self.machine.prefix.glob("drive_c/users/*/Desktop/*.lnk"))
        self.assertEqual([p.name for p in links], [title + ".lnk"])
        link = links[0].read_bytes()
        self.assertEqual(link[:4], b"\x4c\x00\x00\x00", "a shell link file")
        self.assertIn(target.encode("gbk") + b"\x00", link, "target path")
        self.assertIn((self.UPDATER_DIR + "\\").encode("utf-16-le"), link, "working folder")


if __name__ == "__main__":
    unittest.main(verbosity=2)

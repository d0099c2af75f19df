"""The engine's set-up and downloads through the real AutoUpdate.exe: the
per-server client configuration, the manifest fetch, message boxes of failed
fetches, and packages staged in the private staging folder."""
import random
import socket
import sys
import time
import unittest

from harness import SOURCE, STAGING, UpdateTestCase, client_command
from sample_app import DECLARATION, ENCODING, Module, client_config, config_name, make_zip

sys.path.insert(0, str(SOURCE / "tests" / "support"))
from http_server import error_page  # noqa: E402

CLIENT = "C:\\Sales\\client.exe"


def closed_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def download_box_head(url, error):
    """The download box's text up to the error's message."""
    return f'文件 "{url}" 无法下载。错误信息：\r\n{error}'


def download_box(url, error):
    return download_box_head(url, error) + "\r\n\r\n请检查文件是否存在，或网络是否连通。"


class SetUp(UpdateTestCase):
    def current_sales(self):
        """Sales with one module a.dll 1.0, installed and on disk."""
        self.server_folder.publish("Sales", [Module("a.dll", "1.0")])
        self.app_file("a.dll").write_bytes(b"a 1.0")
        self.machine.install(self.programs.client, CLIENT)

    def test_first_run_fetches_and_saves_the_configuration(self):
        self.current_sales()
        # Written the way the updater writes documents, so that the saved copy
        # must equal it byte for byte; the address in it is not used, since
        # the updater was given one.
        template = "\r\n".join([
            DECLARATION, "<data>", '  <DataSource ServerURL="http://127.0.0.1:9/elsewhere/"/>',
            '  <Sales name="销售系统">', '    <a.dll version="1.0"/>', "  </Sales>", "</data>", ""]).encode(ENCODING)
        self.server_folder.write_template(template)
        server = self.serve()
        saved = self.app_file(config_name(server.port))
        self.assertFalse(saved.exists())

        params = self.params("Sales", CLIENT)
        trace = self.run_update(params)

        self.assertEqual(server.requests(), ["/upd/AutoUpdateIniC.xml", "/upd/AutoUpdateIniS.xml"])
        self.assertEqual(saved.read_bytes(), template)
        self.assertEqual(trace.boxes, [])
        self.assertEqual(self.client_record(CLIENT), client_command(CLIENT, params))

    def test_later_run_uses_the_local_configuration(self):
        self.current_sales()
        # The server's template would make a.dll look missing: it must not be read.
        self.server_folder.write_template(client_config())
        server = self.serve()
        local = client_config("Sales", [("a.dll", "1.0")])
        self.app_file(config_name(server.port)).write_bytes(local)

        self.run_update(self.params("Sales", CLIENT))

        self.assertEqual(server.requests(), ["/upd/AutoUpdateIniS.xml"])
        self.assertEqual(self.app_file(config_name(server.port)).read_bytes(), local)

    def test_unreachable_server_shows_one_message_box(self):
        port = closed_port()
        url = f"http://127.0.0.1:{port}/upd/"
        params = self.params(url=url)
        proc = self.start_update(params)

        boxes = self.dismiss_box("AutoUpdate", 1)
        trace = self.finish(proc)

        self.assertEqual(len(boxes), 1)
        self.assertBoxText(boxes[0], "请求后台数据时出现异常。\r\n函数：InternetOpenUrl() 错误代码: 12029")
        self.assertEqual(trace.boxes, boxes, "one box only")
        # With nothing to check, the client is started as for a current application.
        self.assertFalse(self.app_file(config_name(port)).exists())
        self.assertEqual(self.client_record(self.app_path("ZEPRA.exe")),
                         client_command(self.app_path("ZEPRA.exe"), params))

    def test_package_that_cannot_be_fetched_shows_the_download_box(self):
        # The first package's name would leave the staging folder: it is refused before
        # any request, and its box holds the run while the server goes away,
        # so that the next package's fetch fails.
        modules = [Module("gate", "1", file_name="..\\gate.zip"), Module("a.dll", "2.0")]
        self.server_folder.publish("ZEPRA", modules)
        server = self.serve()
        base = self.server_folder.url(server.port)
        proc = self.start_update(self.params())

        first = self.dismiss_box_after(lambda: server.close(), 1)
        refused = ("clientfile/..\\gate.zip", '文件名 "..\\gate.zip" 不能用作本地文件名。')
        self.assertBoxText(first[0], download_box(base + refused[0], refused[1]),
                           shown=download_box_head(base + refused[0], refused[1]))
        boxes = self.dismiss_box("Information", 2)
        trace = self.finish(proc)

        fetch_error = "请求后台数据时出现异常。\r\n函数：InternetOpenUrl() 错误代码: 12029"
        self.assertBoxText(boxes[1], download_box(base + "clientfile/a.dll.zip", fetch_error),
                           shown=download_box_head(base + "clientfile/a.dll.zip", fetch_error))
        self.assertEqual(len(trace.boxes), 2)
        self.assertEqual(server.requests(), ["/upd/AutoUpdateIniC.xml", "/upd/AutoUpdateIniS.xml"])
        self.assertFalse(self.machine.host_path(STAGING + "\\a.dll.zip").exists())
        self.assertFalse(self.machine.host_path("C:\\gate.zip").exists())

    def dismiss_box_after(self, action, count):
        """Like dismiss_box, with `action` done while the box is up."""
        self.machine.wait_window("^Information$", 60)
        action()
        return self.dismiss_box("Information", count)

    def test_packages_land_in_staging_byte_for_byte(self):
        rng = random.Random(20240607)
        big = Module("big.dll", "2", files={"big.dll": rng.randbytes(300_000), "big.txt": b"notes" * 1000})
        modules = [Module("a.dll", "2"), big, Module("empty.dll", "2", files={})]
        self.server_folder.publish("ZEPRA", modules)
        self.assertFalse(self.machine.host_path(STAGING).exists())
        server = self.serve()

        trace = self.run_update(self.params())

        self.assertEqual(trace.boxes, [])
        self.assertEqual(self.machine.listing(STAGING), sorted(m.file_name for m in modules))
        for m in modules:
            staged = self.machine.host_path(STAGING + "\\" + m.file_name).read_bytes()
            self.assertEqual(staged, self.server_folder.package_path(m.file_name).read_bytes(), m.file_name)
        self.assertEqual(server.requests()[2:], [f"/upd/clientfile/{m.file_name}" for m in modules])

    def test_error_page_is_stored_as_the_package_and_reported_when_it_does_not_unpack(self):
        modules = [Module("a.dll", "2"), Module("b.dll", "2")]
        self.server_folder.publish("ZEPRA", modules)
        self.server_folder.package_path("a.dll.zip").unlink()
        # A package that an earlier run left is replaced by what came.
        self.machine.host_path(STAGING).mkdir(parents=True)
        self.machine.host_path(STAGING + "\\a.dll.zip").write_bytes(make_zip({"a.dll": b"stale"}, time.time() - 86400))
        self.serve(["/upd/clientfile/b.dll.zip:status=500"])

        proc = self.start_update(self.params())
        self.dismiss_box("AutoUpdate", 1)
        boxes = self.dismiss_box("AutoUpdate", 2)
        self.finish(proc)

        # The download itself says nothing (an answer came); unpacking it does.
        self.assertEqual([b.split("，")[0] for b in boxes], ["模块“a.dll”没有安装", "模块“b.dll”没有安装"])
        self.assertEqual(self.machine.host_path(STAGING + "\\a.dll.zip").read_bytes(), error_page(404, "Not Found"))
        self.assertEqual(self.machine.host_path(STAGING + "\\b.dll.zip").read_bytes(),
                         error_page(500, "Internal Server Error"))


if __name__ == "__main__":
    unittest.main(verbosity=2)

"""Starting AutoUpdate.exe: no arguments, registration only, the URL form."""
import base64
import unittest

from harness import BACKGROUND, E2ETestCase, HttpServer, WHITE, wait_until

APP = "C:\\app\\AutoUpdate.exe"
USER_AGENT_KEY = ("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\5.0"
                  "\\User Agent\\Post Platform")


class StartUp(E2ETestCase):
    def setUp(self):
        super().setUp()
        self.machine.install(self.programs.autoupdate, APP)

    def test_no_arguments_ends_at_once_and_writes_nothing(self):
        before = self.machine.listing("C:\\app")
        result = self.machine.run(APP, [], timeout=60)
        self.assertEqual(result.returncode, 0)
        self.assertEqual(self.machine.listing("C:\\app"), before)
        self.assertIsNone(self.machine.reg_query("HKCR\\ZEPRA", "URL Protocol"))
        self.assertEqual(self.machine.windows(), [])

    def test_reg_writes_the_protocol_and_user_agent_and_ends(self):
        self.assertIsNone(self.machine.reg_query("HKCR\\ZEPRA", "URL Protocol"))
        result = self.machine.run(APP, ["REG"], timeout=60)
        self.assertEqual(result.returncode, 0)
        self.assertEqual(self.machine.reg_query("HKCR\\ZEPRA", "URL Protocol"), "URL:ZEPRA")
        self.assertEqual(self.machine.reg_query("HKCR\\ZEPRA\\shell\\open\\command", ""),
                         '"C:\\app\\AutoUpdate.exe" "%1"')
        self.assertEqual(self.machine.reg_query(USER_AGENT_KEY, "ZEPRA 1.0"), "")
        self.assertEqual(self.machine.windows(), [])

    def test_twelve_arguments_with_reg_first_register_nothing(self):
        args = ["REG", "u1", "u2", "code", "20240607", "e1", "e2", "e3", "e4", "http://h:1/", "1", "c.exe"]
        result = self.machine.run(APP, args, timeout=60)
        self.assertEqual(result.returncode, 0)
        self.assertIsNone(self.machine.reg_query("HKCR\\ZEPRA", "URL Protocol"))

    def test_url_form_records_the_port_lookup_and_shows_the_window(self):
        # A server that holds back its answer keeps the update connecting.
        (self.machine.root / "server").mkdir()
        server = HttpServer(self.machine.root / "server", ["/upd/AutoUpdateIniC.xml:delay=120"])
        self.addCleanup(server.close)
        port = server.port
        uid = base64.b64encode(b"ts=U0042abcdefghijklmnop").decode()
        url = f"ZEPRA:?UID={uid}&url=http://127.0.0.1:{port}/upd/"
        proc = self.machine.start(APP, [url])
        window = self.machine.wait_window()
        # The page named a server this machine never used: the user is asked.
        box = self.machine.wait_window("^AutoUpdate$")
        self.assertEqual(server.requests(), [])
        self.machine.xdotool("windowfocus", "--sync", box)
        self.machine.xdotool("key", "--window", box, "y")
        self.assertTrue(wait_until(lambda: "/upd/AutoUpdateIniC.xml" in server.requests()), "no request")
        # The start-up's port look-up, then the update's name of the
        # configuration file, which it asked the server for.
        address = f"http://127.0.0.1:{port}/upd/"
        expected = (f"[debug]\r\n取端口-url={address}\r\n取端口={port}\r\n取IP-url={address}\r\n"
                    f"取IP=127.0.0.1\r\nhost=127.0.0.1\r\nport={port}\r\n").encode("gbk")
        self.assertEqual(self.machine.host_path("C:\\app\\debug.ini").read_bytes(), expected)
        x, y, _, _ = self.machine.geometry(window)
        image = self.machine.wait_screen("url-start", lambda im: im.pixel(x + 250, y + 150) == BACKGROUND)
        self.assertEqual(image.pixel(x + 250, y + 150), BACKGROUND)
        self.assertEqual(image.pixel(x + 1, y + 100), WHITE)
        self.assertIsNone(proc.poll())

    def test_url_form_reads_the_address_without_bidi_marks_or_end_backslashes(self):
        (self.machine.root / "server").mkdir()
        server = HttpServer(self.machine.root / "server")
        self.addCleanup(server.close)
        address = f"http://127.0.0.1:{server.port}/upd/"
        # A right-to-left override and an isolate would make the host shown
        # differ from the host used; a backslash at the end would reach into
        # the client's command line.
        marked = address.replace("127.0.0.1", "127.0.0.1\u202e\u2066") + "\\\\"
        self.machine.start(APP, [f"ZEPRA:?url={marked}"])
        self.machine.wait_window("^AutoUpdate$")  # the first-use question: nothing fetched yet
        expected = (f"[debug]\r\n取端口-url={address}\r\n取端口={server.port}\r\n取IP-url={address}\r\n"
                    f"取IP=127.0.0.1\r\nhost=127.0.0.1\r\nport={server.port}\r\n").encode("gbk")
        self.assertEqual(self.machine.host_path("C:\\app\\debug.ini").read_bytes(), expected)
        self.assertEqual(server.requests(), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)

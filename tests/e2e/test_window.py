"""The progress window: its looks per state, the refused close and the close action."""
import unittest

from harness import (BACKGROUND, BUTTON_FACE, E2ETestCase, FULL_BAR, RATE_FILL, WHITE, HttpServer, client_command,
                     wait_for_file, wait_until)

APP = "C:\\app\\AutoUpdate.exe"
DRIVER = "C:\\app\\window_driver.exe"
PARAMS = ["ZEPRA", "u1", "UID0042", "ZEPRA", "20240607", " ", " ", " ", " ", "http://127.0.0.1:8080/upd/",
          "8080", "C:\\elsewhere\\ignored.exe"]


class Window(E2ETestCase):
    def setUp(self):
        super().setUp()
        m = self.machine
        m.install(self.programs.autoupdate, APP)
        m.install(self.programs.driver, DRIVER)
        m.install(self.programs.client, "C:\\app\\ZEPRA.exe")

    def locate(self):
        return self.machine.geometry(self.machine.wait_window())

    def drive(self, steps, params=PARAMS, close_log=None):
        args = (["--close-log", close_log] if close_log else []) + list(params) + ["--"] + list(steps)
        return self.machine.start(DRIVER, args)

    def wait_mark(self, name):
        self.assertTrue(wait_for_file(self.machine.host_path(f"C:\\app\\{name}")), name)

    def assert_background(self, image, x, y):
        self.assertEqual(image.pixel(x + 250, y + 190), BACKGROUND)
        self.assertEqual(image.pixel(x + 490, y + 150), BACKGROUND)
        for edge in ((x, y + 100), (x + 499, y + 100), (x + 250, y), (x + 250, y + 199)):
            self.assertEqual(image.pixel(*edge), WHITE, edge)

    def test_positional_start_shows_the_window_centred(self):
        # A server that holds back its answer keeps the update connecting.
        (self.machine.root / "server").mkdir()
        server = HttpServer(self.machine.root / "server", ["/upd/AutoUpdateIniC.xml:delay=120"])
        self.addCleanup(server.close)
        url = f"http://127.0.0.1:{server.port}/upd/"
        proc = self.machine.start(APP, PARAMS[:9] + [url, str(server.port), PARAMS[11]])
        x, y, w, h = self.locate()
        self.assertTrue(wait_until(lambda: "/upd/AutoUpdateIniC.xml" in server.requests(), 60), "no request")
        self.assertEqual((w, h), (500, 200))
        image = self.machine.wait_screen("positional-start", lambda im: im.count_light(x + 32, y + 32, 200, 26) > 50)
        self.assertEqual((x, y), ((image.width - 500) // 2, (image.height - 200) // 2))
        self.assert_background(image, x, y)
        self.assertGreater(image.count_light(x + 32, y + 32, 200, 26), 50, "hint text")
        self.assertEqual(image.count_light(x + 32, y + 72, 400, 20), 0, "no error text yet")
        self.assertEqual(image.count(x + 33, y + 97, FULL_BAR, 24, RATE_FILL), 0, "no bar yet")
        self.assertEqual(image.count(x + 192, y + 144, 121, 33, BUTTON_FACE), 0, "no button yet")
        self.assertIsNone(proc.poll())

    def test_close_requests_are_refused(self):
        log = "C:\\app\\close.log"
        self.drive(["1", "mark:C:\\app\\posted"], close_log=log)
        window = self.machine.wait_window()
        self.wait_mark("posted")
        self.machine.xdotool("windowfocus", "--sync", window)
        self.machine.xdotool("key", "--window", window, "alt+F4")
        self.assertTrue(wait_for_file(self.machine.host_path(log), 20), "the close request never arrived")
        self.assertFalse(self.machine.wait_no_window(timeout=3), "the window closed")
        self.assertIn("WM_CLOSE", self.machine.host_path(log).read_text())
        self.machine.screenshot("close-refused")

    def test_progress_state(self):
        proc = self.drive(["1", "2", "3", "progress:1/4", "mark:C:\\app\\posted", "gate:C:\\app\\go",
                           "progress:4/4", "9"])
        x, y, _, _ = self.locate()
        self.wait_mark("posted")
        expected_fill = FULL_BAR * 1 // 4
        image = self.machine.wait_screen(
            "progress-state", lambda im: im.count(x + 33, y + 109, FULL_BAR, 1, RATE_FILL) == expected_fill)
        self.assert_background(image, x, y)
        self.assertEqual(image.count(x + 33, y + 109, FULL_BAR, 1, RATE_FILL), expected_fill)
        self.assertEqual(image.count(x + 33, y + 97, FULL_BAR + 2, 24, RATE_FILL), expected_fill * 24)
        self.assertGreater(image.count_light(x + 32, y + 144, 60, 28), 20, "percentage")
        self.assertEqual(image.count(x + 192, y + 144, 121, 33, BUTTON_FACE), 0, "no button")
        # Status 9 starts the client and closes the window.
        self.machine.host_path("C:\\app\\go").write_text("go")
        self.assertEqual(self.machine.wait_exit(proc, 60), 0)
        record = self.machine.host_path("C:\\app\\client-command.txt")
        self.assertTrue(wait_for_file(record, 30))
        self.assertEqual(record.read_text(encoding="utf-8"), client_command("C:\\app\\ZEPRA.exe", PARAMS))

    def test_error_state_and_the_buttons_close_action(self):
        proc = self.drive(["1", "2", "3", "progress:1/4", "error:无法连接到服务器\\n第二行", "mark:C:\\app\\posted"])
        x, y, _, _ = self.locate()
        self.wait_mark("posted")
        image = self.machine.wait_screen(
            "error-state", lambda im: im.count(x + 192, y + 144, 121, 33, BUTTON_FACE) > 2000)
        self.assert_background(image, x, y)
        button = image.count(x + 192, y + 144, 121, 33, BUTTON_FACE)
        self.assertGreater(button, 2000)
        self.assertEqual(image.pixel(x + 192, y + 144), BACKGROUND, "rounded, transparent corner")
        self.assertGreater(image.count_light(x + 192, y + 144, 121, 33), 30, "确定 on the button")
        self.assertGreater(image.count_light(x + 32, y + 72, 300, 18), 30, "first error line")
        self.assertGreater(image.count_light(x + 32, y + 90, 300, 18), 30, "second error line")
        self.assertEqual(image.count(x + 33, y + 109, FULL_BAR, 1, RATE_FILL), FULL_BAR // 4, "bar kept")
        self.assertIsNone(proc.poll(), "waits for the user")
        self.machine.xdotool("mousemove", "--sync", x + 252, y + 160)
        self.machine.xdotool("click", "1")
        self.assertEqual(self.machine.wait_exit(proc, 60), 0)
        record = self.machine.host_path("C:\\app\\client-command.txt")
        self.assertTrue(wait_for_file(record, 30))
        self.assertEqual(record.read_text(encoding="utf-8"), client_command("C:\\app\\ZEPRA.exe", PARAMS))
        self.assertTrue(self.machine.wait_no_window())

    def test_already_current_starts_another_client_as_given(self):
        client = "C:\\tools\\client.exe"
        self.machine.install(self.programs.client, client)
        params = ["Sales", "u1", "u2", "S01", "20240607", "a", "b", "c", "d", "http://h:81/", "81", client]
        proc = self.drive(["1", "2", "4"], params=params)
        self.assertEqual(self.machine.wait_exit(proc, 60), 0)
        record = self.machine.host_path("C:\\tools\\client-command.txt")
        self.assertTrue(wait_for_file(record, 30))
        self.assertEqual(record.read_text(encoding="utf-8"), client_command(client, params))


if __name__ == "__main__":
    unittest.main(verbosity=2)

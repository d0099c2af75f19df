"""Runs the real Windows programs under Wine on a private X server.

Each test gets its own copy of a ready Wine prefix (C: drive, registry) and
its own Xvfb display; everything it starts is stopped through the prefix's
own wineserver, with time limits so that nothing can hang a test run.
Standard library only, plus the command-line tools wine, Xvfb, xdotool and
ImageMagick.
"""
import fcntl
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

SOURCE = Path(os.environ.get("AU_SOURCE_DIR", Path(__file__).resolve().parents[2]))
WINE_ENV_SCRIPT = SOURCE / "tests" / "support" / "wine-env.sh"


def build_dir():
    if "AU_BUILD_DIR" in os.environ:
        return Path(os.environ["AU_BUILD_DIR"]).resolve()
    env = wine_environment()
    return (SOURCE / "build" / env["AU_WINDOWS_PRESET"]).resolve()


_wine_env = None


def wine_environment():
    """The variables tests/support/wine-env.sh exports (Wine choice, locale)."""
    global _wine_env
    if _wine_env is None:
        out = subprocess.run(["bash", "-c", f'. "{WINE_ENV_SCRIPT}" && env -0'], check=True,
                             capture_output=True).stdout
        _wine_env = dict(item.split("=", 1) for item in out.decode().split("\0") if "=" in item)
    return dict(_wine_env)


class Programs:
    """Where the build put the programs under test."""

    def __init__(self, build):
        self.build = Path(build)
        self.autoupdate = self.build / "src/main/AutoUpdate.exe"
        programs = self.build / "tests/win32/programs"
        self.client = programs / "ZEPRA.exe"
        self.driver = programs / "window_driver.exe"
        self.exit_helper = programs / "exit_helper.exe"
        self.file_swapper = programs / "file_swapper.exe"
        self.launcher = programs / "launcher.exe"
        self.planted_dll = programs / "planted.dll"
        self.win32_tests = self.build / "tests/win32_tests.exe"
        self.shots = self.build / "e2e-shots"


# ---------------------------------------------------------------- X server

class Display:
    """A private Xvfb server on a display number it picks itself."""

    def __init__(self, width=1024, height=768):
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{width}x{height}x24", "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        deadline = time.time() + 30
        while not number.endswith(b"\n") and time.time() < deadline:
            chunk = os.read(read_fd, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_fd)
        if not number.strip():
            self.proc.kill()
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number.decode().strip()

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


# ------------------------------------------------------------------ images

class Image:
    """An RGB picture read through ImageMagick as binary PPM."""

    def __init__(self, path):
        data = subprocess.run(["convert", str(path), "ppm:-"], check=True, capture_output=True,
                              timeout=60).stdout
        fields = []
        pos = 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos)
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        assert fields[0] == b"P6" and fields[3] == b"255", fields
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[pos + 1:]

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def count(self, left, top, width, height, colour):
        return sum(1 for y in range(top, top + height) for x in range(left, left + width)
                   if self.pixel(x, y) == colour)

    def count_light(self, left, top, width, height, threshold=200):
        """Pixels at least this light in every channel (white text)."""
        return sum(1 for y in range(top, top + height) for x in range(left, left + width)
                   if min(self.pixel(x, y)) >= threshold)


# ------------------------------------------------------------- HTTP server

class HttpServer:
    """tests/support/http_server.py serving a folder on 127.0.0.1, with its
    request log; `rules` are its --rule texts (PATH:KEY[=VALUE])."""

    def __init__(self, root, rules=(), log=None, timing=None, byte_names=False):
        self.log = Path(log or Path(root) / "requests.log")
        args = [sys.executable, str(SOURCE / "tests" / "support" / "http_server.py"), "--root", str(root),
                "--log", str(self.log)] + (["--timing", str(timing)] if timing else [])
        args += ["--byte-names"] if byte_names else []
        for rule in rules:
            args += ["--rule", rule]
        self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        line = self.proc.stdout.readline().decode()
        if not line.startswith("port "):
            self.close()
            raise RuntimeError("the test server did not start")
        self.port = int(line.split()[1])

    def requests(self):
        """The paths of the requests received so far, in order."""
        if not self.log.exists():
            return []
        text = self.log.read_bytes().decode("latin-1")
        return [line.split(" ")[1] for line in text.split("\r\n")
                if re.match(r"^(GET|HEAD|POST) ", line)]

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc.stdout.close()


# ----------------------------------------------------------------- machine

class Machine:
    """One throw-away Windows machine: a copied prefix, its own HOME and display."""

    def __init__(self, programs, display, name):
        self.programs = programs
        self.display = display
        self.name = name
        env = wine_environment()
        self.wine = env["AU_WINE"]
        state = programs.build / "e2e"
        state.mkdir(parents=True, exist_ok=True)
        template = self._template(state, env)
        self.root = Path(tempfile.mkdtemp(prefix=f"au-e2e-{name}-", dir=state))
        self.prefix = self.root / "prefix"
        subprocess.run(["cp", "-a", str(template), str(self.prefix)], check=True, timeout=300)
        home = self.root / "home"
        home.mkdir()
        env.update(WINEPREFIX=str(self.prefix), HOME=str(home), DISPLAY=display.name)
        env.pop("XAUTHORITY", None)
        self.env = env
        self.started = []

    def _template(self, state, env):
        template = state / f"prefix-template-{env['WINEARCH']}"
        with open(state / ".template-lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            if not (template / ".au-ready").exists():
                shutil.rmtree(template, ignore_errors=True)
                e = dict(env, WINEPREFIX=str(template), HOME=str(state / "template-home"))
                Path(e["HOME"]).mkdir(exist_ok=True)
                e.pop("DISPLAY", None)
                subprocess.run([env["AU_WINE"], "wineboot", "-i"], env=e, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=600)
                subprocess.run(["wineserver", "-w"], env=e, timeout=300)
                (template / ".au-ready").touch()
        return template

    # -- files
    def host_path(self, windows_path):
        """C:\\x\\y -> the file inside the prefix."""
        drive, rest = windows_path.split(":", 1)
        assert drive.upper() == "C", windows_path
        return self.prefix / "drive_c" / rest.lstrip("\\").replace("\\", "/")

    def install(self, source, windows_path):
        target = self.host_path(windows_path)
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(source, target)
        return windows_path

    def listing(self, windows_folder):
        folder = self.host_path(windows_folder)
        return sorted(str(p.relative_to(folder)) for p in folder.rglob("*"))

    # -- processes
    def start(self, program, args, extra_env=None, stderr=subprocess.DEVNULL):
        env = dict(self.env, **(extra_env or {}))
        proc = subprocess.Popen([self.wine, program] + list(args), env=env, stdout=subprocess.DEVNULL,
                                stderr=stderr)
        self.started.append(proc)
        return proc

    def run(self, program, args, timeout=120, extra_env=None):
        """Runs a program to its end. A run whose end Wine's loader spoiled
        (see tests/support/wine-run.sh) is run once more."""
        env = dict(self.env, **(extra_env or {}))
        for _ in range(2):
            done = subprocess.run([self.wine, program] + list(args), env=env, capture_output=True, timeout=timeout)
            if done.returncode == 0 or _LOADER_FAULT not in done.stderr:
                break
        return done

    def wait_exit(self, proc, timeout=60):
        return proc.wait(timeout)

    def reg_query(self, key, value=None):
        """A value's data as `wine reg query` shows it in the 32-bit view, or None."""
        args = ["reg", "query", key, "/reg:32"]
        args += ["/ve"] if value == "" else ["/v", value] if value is not None else []
        out = self.run(args[0], args[1:], timeout=120)
        if out.returncode != 0:
            return None
        text = out.stdout.decode("gbk", errors="replace")
        for line in text.splitlines():
            parts = line.strip().split("    ")
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                name_matches = (value == "" and parts[0].startswith("(")) or parts[0] == value
                if name_matches:
                    return parts[2] if len(parts) > 2 else ""
        return None

    def stop(self):
        """Ends every program of this machine and its wineserver."""
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60)
        for proc in self.started:
            try:
                proc.wait(20)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)

    # -- screen
    def windows(self, title="VelqorCastrel"):
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title], env=self.env,
                             capture_output=True, timeout=30)
        return [int(w) for w in out.stdout.split()]

    def wait_window(self, title="VelqorCastrel", timeout=60):
        deadline = time.time() + timeout
        while time.time() < deadline:
            found = self.windows(title)
            if found:
                return found[0]
            time.sleep(0.3)
        raise AssertionError(f"no window {title!r} within {timeout} s")

    def wait_no_window(self, title="VelqorCastrel", timeout=30):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if not self.windows(title):
                return True
            time.sleep(0.3)
        return False

    def geometry(self, window):
        out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", str(window)], env=self.env,
                             capture_output=True, text=True, timeout=30, check=True).stdout
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def screenshot(self, name):
        self.programs.shots.mkdir(parents=True, exist_ok=True)
        path = self.programs.shots / f"{name}.png"
        subprocess.run(["import", "-display", self.display.name, "-window", "root", str(path)], env=self.env,
                       check=True, timeout=60)
        return path

    def wait_screen(self, name, predicate, timeout=20):
        """Screenshots until predicate(Image) holds; the last one stays saved."""
        deadline = time.time() + timeout
        while True:
            image = Image(self.screenshot(name))
            if predicate(image) or time.time() > deadline:
                return image
            time.sleep(0.5)

    def xdotool(self, *args):
        return subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, capture_output=True,
                              timeout=30)


# Wine starts its own builtin programs of the system folder; tests that put a
# stand-in there (regsvr32.exe) have Wine load the file instead.
NATIVE_REGSVR32 = {"WINEDLLOVERRIDES": "mscoree,mshtml=;regsvr32.exe=n"}


def wait_for_file(path, timeout=60):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if Path(path).exists():
            return True
        time.sleep(0.2)
    return False


def wait_until(condition, timeout=60):
    deadline = time.time() + timeout
    while not condition():
        if time.time() > deadline:
            return False
        time.sleep(0.2)
    return True


class E2ETestCase(unittest.TestCase):
    """One display for the test file, one fresh machine per test."""

    @classmethod
    def setUpClass(cls):
        cls.programs = Programs(build_dir())
        for exe in (cls.programs.autoupdate, cls.programs.client, cls.programs.driver):
            if not exe.exists():
                raise AssertionError(f"not built: {exe}")
        cls.display = Display()

    @classmethod
    def tearDownClass(cls):
        cls.display.close()

    def setUp(self):
        self.machine = Machine(self.programs, self.display, self.id().split(".")[-1])
        self.addCleanup(self.machine.remove)
        self.addCleanup(self.machine.stop)


# -------------------------------------------------- the window, as painted

WINDOW_W, WINDOW_H = 500, 200
BACKGROUND = (80, 80, 80)
WHITE = (255, 255, 255)
RATE_FILL = (255, 128, 128)
BUTTON_FACE = (0, 162, 232)
FULL_BAR = 431


# Where the updater stages packages: a folder only administrators can write.
PRIVATE = "C:\\ProgramData\\ZEPRA\\AutoUpdate"
STAGING = PRIVATE + "\\staging"


def trimmed(text):
    """A positional argument as the updater keeps it: blanks and control characters cut at both ends."""
    return text.strip("".join(chr(c) for c in range(33)))


def client_command(client_exe, params):
    """The command line the window must start the client with, from the
    arguments of a positional start."""
    params = [trimmed(p) for p in params]
    app, user_id, user_id2, code, date, e1, e2, e3, e4, url, port = params[:11]
    first = user_id2 if app == "ZEPRA" else f"[{user_id}]"
    words = [first, code, date, e1, e2, e3, e4, url, port, " ", "HTTP", " "]
    return client_exe + "".join(f' "{w}"' for w in words)


# ------------------------------------------------ what Wine traced of a run

# What Wine's loader now and then prints as a process ends, after the
# program returned; the exit code is then not the program's.
_LOADER_FAULT = b"Inconsistency detected by ld.so: dl-fini.c"

# Run a program with this WINEDEBUG to read its message boxes from stderr.
TRACE_CHANNELS = "-all,+msgbox"
_MSGBOX = re.compile(r'trace:msgbox:MSGBOX_OnInit L"((?:[^"\\]|\\.)*)"')


def _unescape_wine(text):
    """Wine's debug string: \\XXXX hex escapes, \\r, \\n, \\t, \\\\ and \\"."""
    out, i = [], 0
    simple = {"r": "\r", "n": "\n", "t": "\t", "\\": "\\", '"': '"'}
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            if nxt in simple:
                out.append(simple[nxt])
                i += 2
                continue
            digits = re.match(r"[0-9a-fA-F]{4}", text[i + 1:i + 5])
            if digits:
                out.append(chr(int(digits.group(0), 16)))
                i += 5
                continue
        out.append(c)
        i += 1
    return "".join(out)


class Trace:
    """Message box texts from a traced run."""

    def __init__(self, path):
        text = Path(path).read_bytes().decode("latin-1") if Path(path).exists() else ""
        self.boxes = [_unescape_wine(m) for m in _MSGBOX.findall(text)]


# --------------------------------------------------- update runs, end to end

class UpdateTestCase(E2ETestCase):
    """A machine with AutoUpdate.exe and the stand-in client in UPDATER_DIR,
    a server folder for the test, and helpers to run one traced update."""

    UPDATER_DIR = "C:\\ZEPRA\\Update"   # the install root is C:\ZEPRA
    UPDATER = UPDATER_DIR + "\\AutoUpdate.exe"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        programs = cls.programs.build / "tests/win32/programs"
        cls.recorder = programs / "command_recorder.exe"
        cls.holder = programs / "file_holder.exe"
        for exe in (cls.recorder, cls.holder):
            if not exe.exists():
                raise AssertionError(f"not built: {exe}")

    def setUp(self):
        super().setUp()
        from sample_app import ServerFolder
        self.machine.install(self.programs.autoupdate, self.UPDATER)
        self.machine.install(self.programs.client, self.app_path("ZEPRA.exe"))
        self.server_folder = ServerFolder(self.machine.root / "server")
        self.server = None
        self.trace_file = self.machine.root / "trace.txt"

    def app_path(self, name):
        return self.UPDATER_DIR + "\\" + name

    def app_file(self, name):
        return self.machine.host_path(self.app_path(name))

    def journals(self):
        """Install journals left on the machine (in the private folder, or
        where earlier versions kept them)."""
        private = self.machine.host_path(PRIVATE)
        found = sorted(p.name for p in private.glob("*.journal")) if private.exists() else []
        return found + (["AutoUpdate.journal"] if self.app_file("AutoUpdate.journal").exists() else [])

    def serve(self, rules=(), byte_names=False):
        self.server = HttpServer(self.server_folder.root, rules, byte_names=byte_names)
        self.addCleanup(self.server.close)
        return self.server

    def params(self, app="ZEPRA", client="C:\\elsewhere\\ignored.exe", url=None):
        url = url if url is not None else self.server_folder.url(self.server.port)
        port = url.split(":")[2].split("/")[0] if url.count(":") >= 2 else ""
        return [app, "u1", "UID0042", "A01", "20240607", "e1", "e2", "e3", "e4", url, port, client]

    def start_update(self, args, extra_env=None):
        env = dict({"WINEDEBUG": TRACE_CHANNELS}, **(extra_env or {}))
        with open(self.trace_file, "ab") as trace:
            return self.machine.start(self.UPDATER, args, extra_env=env, stderr=trace)

    def launch_update(self, line, show=1):
        """Starts the updater from a raw command line `line` (which names it
        first) with show command `show`, the way a browser or the shell starts
        a protocol handler; the launcher ends with the updater's exit code."""
        launcher = self.machine.install(self.programs.launcher, "C:\\tools\\launcher.exe")
        env = {"WINEDEBUG": TRACE_CHANNELS, "AU_LAUNCH_LINE": line}
        with open(self.trace_file, "ab") as trace:
            return self.machine.start(launcher, [str(show)], extra_env=env, stderr=trace)

    def trace(self):
        return Trace(self.trace_file)

    def finish(self, proc, timeout=90):
        """Waits for the updater to end by itself; its trace."""
        code = self.machine.wait_exit(proc, timeout)
        self.assertEqual(code, 0, f"the updater ended with {code}; what it wrote on stderr:\n{self.stderr_lines()}")
        return self.trace()

    def stderr_lines(self, last=40):
        """The last lines of the traced runs' stderr that are no box trace:
        what Wine or the X library said as a program ended."""
        text = self.trace_file.read_bytes().decode("latin-1") if self.trace_file.exists() else ""
        return "\n".join([line for line in text.splitlines() if "trace:msgbox:" not in line][-last:])

    def run_update(self, args, extra_env=None, timeout=90):
        return self.finish(self.start_update(args, extra_env), timeout)

    def dismiss_box(self, title, count, timeout=60, key="Return"):
        """Waits for a message box with this title, presses `key` (the default
        button); returns the texts of the boxes traced so far once there are
        `count`."""
        box = self.machine.wait_window(f"^{title}$", timeout)
        deadline = time.time() + 20
        while len(self.trace().boxes) < count and time.time() < deadline:
            time.sleep(0.2)
        self.machine.xdotool("windowfocus", "--sync", box)
        self.machine.xdotool("key", "--window", box, key)
        deadline = time.time() + 30
        while box in self.machine.windows(f"^{title}$") and time.time() < deadline:
            time.sleep(0.2)
        return self.trace().boxes

    def trust_new_server(self, count=1):
        """Answers "Yes" to the question about a server a web page named;
        returns the traced box texts."""
        return self.dismiss_box("AutoUpdate", count, key="y")

    def assertBoxText(self, traced, expected, shown=None):
        """Wine's trace cuts long texts short: the traced text must be the
        start of the expected one and hold at least `shown` (default: all)."""
        self.assertTrue(expected.startswith(traced), f"box text {traced!r}, expected {expected!r}")
        self.assertTrue(traced.startswith(shown if shown is not None else expected), traced)

    def client_record(self, client_exe):
        """The command line the stand-in client recorded, once it ran."""
        record = self.machine.host_path(client_exe.rsplit("\\", 1)[0] + "\\client-command.txt")
        self.assertTrue(wait_for_file(record, 30), "the client was not started")
        return record.read_text(encoding="utf-8")

    def installed(self, app, modules):
        """Records the modules as installed for `app`, with their files on disk."""
        from sample_app import client_config, config_name
        self.app_file(config_name(self.server.port)).write_bytes(
            client_config(app, [(m.name, m.version) for m in modules]))
        for m in modules:
            for name, data in m.files.items():
                target = self.app_file(name)
                target.parent.mkdir(parents=True, exist_ok=True)
                target.write_bytes(data)

    def client_args(self, client_exe):
        """The arguments the stand-in client's own parsing made of its command line."""
        self.client_record(client_exe)
        record = self.machine.host_path(client_exe.rsplit("\\", 1)[0] + "\\client-command.txt.args")
        return record.read_bytes().decode("utf-8").split("\0")[:-1]

    def config(self):
        """The client configuration beside the updater, parsed."""
        from sample_app import config_name, parse
        return parse(self.app_file(config_name(self.server.port)).read_bytes())

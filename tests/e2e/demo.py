"""Demo: a real update of a sample application by AutoUpdate.exe under Wine.

Generates a sample ZEPRA installation (an updater folder with the client
program, three DLLs, a folder module, and a client configuration recording
their versions) and a newer release of it on a local HTTP server: two newer
DLLs, a newer folder module, a new component for the system folder marked for
registration, a new program that runs after unpacking (AutoRun), and a new
client program with a desktop shortcut. Both releases are published with
au-publish and signed with a fresh publisher key whose public half is
configured in the machine's registry, so the update is verified. Then runs the
updater against that server, screenshots its window, and prints what changed: files, recorded
versions, the programs it started and the client's command line. A second run
shows the application already current. Uses the user's X display when DISPLAY
is set, else a private Xvfb.

The client program, Regsvr32 and the AutoRun program are small stand-ins that
record the command line they were started with.
"""
import argparse
import hashlib
import os
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from harness import (FULL_BAR, NATIVE_REGSVR32, RATE_FILL, TRACE_CHANNELS, Display, HttpServer,  # noqa: E402
                     Machine, Programs, wait_for_file)
from sample_app import Module, ServerFolder, client_config, config_name, parse, recorded_versions  # noqa: E402

UPDATER_DIR = "C:\\ZEPRA\\Update"
KEYS_KEY = "HKLM\\SOFTWARE\\ZEPRA\\AutoUpdate"
# What au-publish cannot see in the files: the manifest's flags, targets and
# shortcut title, per module.
SETTINGS = """<publish mainfile="ZEPRA.exe" IsDeskTop="1">
  <module name="ZEPRA.exe" Script="ZEPRA 客户端"/>
  <module name="ZpChart.ocx" SetupPath="#System32" IsRegister="1"/>
  <module name="Migrate.exe" AutoRun="Migrate.exe"/>
</publish>
"""
SYSTEM_DIR = "C:\\windows\\system32"


class UserDisplay:
    def __init__(self, name):
        self.name = name

    def close(self):
        pass


def text_file(text):
    return (text + "\r\n").encode("gbk")


def publish_release(au_publish, modules, release, server_dir, version, key):
    """Writes the modules' files into a release folder and publishes it. A
    file the first release has with the same bytes keeps that release's time,
    as a build that did not touch it would."""
    for m in modules:
        for name, data in m.files.items():
            target = release / name
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(data)
            earlier = release.parent / "release-1" / name
            when = earlier.stat().st_mtime if earlier.exists() and earlier.read_bytes() == data else time.time()
            os.utime(target, (when, when))
    names = {m.name for m in modules}
    settings = release.parent / "settings.xml"
    settings.write_text("\n".join(line for line in SETTINGS.splitlines()
                                  if 'name="' not in line or line.split('"')[1] in names), encoding="utf-8")
    done = subprocess.run([str(au_publish), "build", str(release), str(server_dir), "--app", "ZEPRA", "--key",
                           str(key), "--settings", str(settings), "--version", version],
                          capture_output=True, text=True, timeout=300)
    if done.returncode != 0:
        raise SystemExit(f"demo: au-publish failed: {done.stderr}")
    return done.stdout


def releases(client_exe, recorder):
    """The installed release and the newer one on the server."""
    installed = [
        Module("ZEPRA.exe", "1.0.0", files={"ZEPRA.exe": client_exe}, script="ZEPRA 客户端"),
        Module("Sales.dll", "1.0.0", files={"Sales.dll": text_file("Sales 1.0.0")}),
        Module("Stock.dll", "1.0.0", files={"Stock.dll": text_file("Stock 1.0.0")}),
        Module("Print.dll", "1.0.0", files={"Print.dll": text_file("Print 1.0.0")}),
        Module("reports", "20240101", files={"reports/daily.rpt": text_file("daily, January"),
                                             "reports/monthly.rpt": text_file("monthly, January")}),
    ]
    newer = [
        # The same stand-in client, with a release note appended after its image.
        Module("ZEPRA.exe", "1.1.0", files={"ZEPRA.exe": client_exe + b"\0release 1.1.0"}, script="ZEPRA 客户端"),
        Module("Sales.dll", "1.1.0", files={"Sales.dll": text_file("Sales 1.1.0")}),
        Module("Stock.dll", "1.0.0", files={"Stock.dll": text_file("Stock 1.0.0")}),
        Module("Print.dll", "1.2.0", files={"Print.dll": text_file("Print 1.2.0")}),
        Module("reports", "20240601", files={"reports/daily.rpt": text_file("daily, June"),
                                             "reports/monthly.rpt": text_file("monthly, June"),
                                             "reports/yearly/2024.rpt": text_file("yearly")}),
        Module("ZpChart.ocx", "3.0", "#System32", register=True, files={"ZpChart.ocx": text_file("chart control")}),
        Module("Migrate.exe", "1.0", files={"Migrate.exe": recorder}, auto_run="Migrate.exe"),
    ]
    return installed, newer


def snapshot(machine, folders):
    """{windows path: sha256} of every file below the folders."""
    files = {}
    for folder in folders:
        root = machine.host_path(folder)
        for p in sorted(root.rglob("*")):
            if p.is_file() and not p.name.endswith((".log", ".ini", ".txt", ".txt.args")):
                files[folder + "\\" + str(p.relative_to(root)).replace("/", "\\")] = \
                    hashlib.sha256(p.read_bytes()).hexdigest()
    return files


def run(machine, args, trace_path):
    with open(trace_path, "wb") as trace:
        env = dict(NATIVE_REGSVR32, WINEDEBUG=TRACE_CHANNELS)
        return machine.start(f"{UPDATER_DIR}\\AutoUpdate.exe", args, extra_env=env, stderr=trace)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--au-publish", required=True)
    args = parser.parse_args()
    programs = Programs(Path(args.build).resolve())
    programs.shots = programs.build / "demo-shots"
    recorder_exe = programs.build / "tests/win32/programs/command_recorder.exe"
    for exe in (programs.autoupdate, programs.client, recorder_exe):
        if not exe.exists():
            raise SystemExit(f"demo: not built: {exe}")
    display = UserDisplay(os.environ["DISPLAY"]) if os.environ.get("DISPLAY") else Display()
    machine = Machine(programs, display, "demo")
    server = None
    started = time.time()
    try:
        client_exe = programs.client.read_bytes()
        installed, newer = releases(client_exe, recorder_exe.read_bytes())
        folder = ServerFolder(machine.root / "server")
        keys = machine.root / "keys"
        keys.mkdir()
        subprocess.run([args.au_publish, "keygen", str(keys / "publisher.pem"), str(keys / "publisher.pub")],
                       check=True, capture_output=True)
        public = "".join(line for line in (keys / "publisher.pub").read_text().splitlines() if "-----" not in line)
        machine.run("reg", ["add", KEYS_KEY, "/v", "PublisherKeys", "/t", "REG_SZ", "/d", public, "/reg:32", "/f"])
        # The installed release was published once; its manifest gives the
        # versions the client recorded. The newer one replaces it.
        publish_release(args.au_publish, installed, machine.root / "release-1", folder.base, "2024.01.01",
                        keys / "publisher.pem")
        manifest = parse((folder.base / "AutoUpdateIniS.xml").read_bytes())
        installed_versions = {e.tag: e.get("Version") for e in manifest.find("ZEPRA")}
        table = publish_release(args.au_publish, newer, machine.root / "release-2", folder.base, "2024.06.01",
                                keys / "publisher.pem")
        # One slow package, so that the window can be seen at work (named by
        # its content).
        reports = parse((folder.base / "AutoUpdateIniS.xml").read_bytes()).find("ZEPRA/reports").get("FileName")
        server = HttpServer(folder.root, [f"/upd/clientfile/{reports}:delay=2"])
        url = folder.url(server.port)

        machine.install(programs.autoupdate, f"{UPDATER_DIR}\\AutoUpdate.exe")
        machine.install(recorder_exe, f"{SYSTEM_DIR}\\regsvr32.exe")
        for m in installed:
            for name, data in m.files.items():
                target = machine.host_path(f"{UPDATER_DIR}\\{name}")
                target.parent.mkdir(parents=True, exist_ok=True)
                target.write_bytes(data)
        config = machine.host_path(f"{UPDATER_DIR}\\{config_name(server.port)}")
        main_file = f"{UPDATER_DIR}\\ZEPRA.exe"
        config.write_bytes(client_config("ZEPRA", list(installed_versions.items()),
                                         app_attrs=[("name", "ZEPRA 客户端"), ("mainfile", main_file),
                                                    ("IsDesktop", "1")]))

        before = snapshot(machine, [UPDATER_DIR])
        versions_before = recorded_versions(parse(config.read_bytes()), "ZEPRA")
        print(f"Sample application ZEPRA in {UPDATER_DIR}, update server {url}")
        print("  published and signed with au-publish (public key in the registry):")
        for line in table.splitlines():
            print(f"    {line}")

        params = ["ZEPRA", "demo", "UID0042", "ZEPRA", time.strftime("%Y%m%d"), " ", " ", " ", " ", url,
                  str(server.port), ""]
        print("Updating (AutoUpdate.exe " + " ".join(f'"{p}"' for p in params) + ") ...")
        trace_path = machine.root / "trace-update.txt"
        proc = run(machine, params, trace_path)
        window = machine.wait_window(timeout=60)
        x, y = machine.geometry(window)[:2]
        machine.wait_screen("updating", lambda im: im.count(x + 33, y + 109, FULL_BAR, 1, RATE_FILL) > 0,
                            timeout=30)
        shots = [programs.shots / "updating.png"]
        code = proc.wait(90)
        print(f"  exit code {code}")

        after = snapshot(machine, [UPDATER_DIR])
        system_file = machine.host_path(SYSTEM_DIR + "\\ZpChart.ocx")
        print("Files:")
        for path in sorted(set(before) | set(after)):
            if path not in before:
                print(f"  new      {path}")
            elif before[path] != after.get(path):
                print(f"  changed  {path}")
        if system_file.exists():
            print(f"  new      {SYSTEM_DIR}\\ZpChart.ocx")
        versions_after = recorded_versions(parse(config.read_bytes()), "ZEPRA")
        print(f"Versions recorded in {UPDATER_DIR}\\{config.name}:")
        for name, version in versions_after.items():
            old = versions_before.get(name)
            note = "" if old == version else f"   (was {old})" if old else "   (new)"
            print(f"  {name:<12} {version}{note}")
        debug = machine.host_path(f"{UPDATER_DIR}\\debug.ini").read_bytes().decode("gbk", errors="replace")
        print("Manifest signature: " + next((line for line in debug.splitlines() if line.startswith("清单签名")), "?"))
        print("Programs it started:")
        for log, what in ((f"{UPDATER_DIR}\\Migrate.log", "AutoRun"), (f"{SYSTEM_DIR}\\regsvr32.log", "Regsvr32")):
            path = machine.host_path(log)
            if wait_for_file(path, 10):
                for line in path.read_text(encoding="utf-8").splitlines():
                    print(f"  {what:<9} {line}")
        record = machine.host_path(f"{UPDATER_DIR}\\client-command.txt")
        if wait_for_file(record, 30):
            print("  client    " + record.read_text(encoding="utf-8"))
            record.unlink()
            machine.host_path(f"{UPDATER_DIR}\\client-command.txt.args").unlink(missing_ok=True)
        links = list(machine.prefix.glob("drive_c/users/*/Desktop/*.lnk"))
        for link in links:
            print(f"Desktop shortcut: {link.name}")

        print("Running it again:")
        trace_path = machine.root / "trace-again.txt"
        proc = run(machine, params, trace_path)
        code = proc.wait(90)
        print(f"  exit code {code}")
        print(f"  requests this time: {server.requests()[-1]}")
        print(f"Screenshots are in {programs.shots}: {', '.join(p.name for p in shots)}")
        print(f"Done in {time.time() - started:.0f} s.")
    finally:
        if server:
            server.close()
        machine.stop()
        machine.remove()
        display.close()


if __name__ == "__main__":
    main()

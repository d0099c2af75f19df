"""Demo: the updater's window through a scripted update under Wine.

Until the update worker exists, the window test driver plays what the worker
will post (connecting, checking, updating with progress, finished), and then a
failed run with its error text and button. Screenshots of each step are saved
and their folder printed. Uses the user's X display when DISPLAY is set, else
a private Xvfb.
"""
import argparse
import os
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from harness import Display, Machine, Programs, wait_for_file  # noqa: E402

PARAMS = ["ZEPRA", "demo", "UID0042", "ZEPRA", time.strftime("%Y%m%d"), " ", " ", " ", " ",
          "http://127.0.0.1:8080/upd/", "8080", ""]


class UserDisplay:
    def __init__(self, name):
        self.name = name

    def close(self):
        pass


def play(machine, name, steps, pause):
    """Runs the driver with steps; after each "shot" step takes a screenshot."""
    script, names = [], []
    for step in steps:
        if step.startswith("shot:"):
            n = len(names)
            names.append(step[5:])
            script += [f"mark:C:\\app\\mark{n}", f"gate:C:\\app\\gate{n}"]
        else:
            script.append(step)
    proc = machine.start("C:\\app\\window_driver.exe", PARAMS + ["--"] + script)
    saved = []
    for n, shot in enumerate(names):
        if not wait_for_file(machine.host_path(f"C:\\app\\mark{n}"), 60):
            raise SystemExit(f"demo: the window did not reach step {shot}")
        time.sleep(pause)
        saved.append(machine.screenshot(f"{name}-{n + 1}-{shot}"))
        print(f"  {shot:<12} {saved[-1]}")
        machine.host_path(f"C:\\app\\gate{n}").write_text("go")
    return proc, saved


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--pause", type=float, default=1.0, help="seconds to show each step")
    args = parser.parse_args()
    programs = Programs(Path(args.build).resolve())
    programs.shots = programs.build / "demo-shots"
    display = UserDisplay(os.environ["DISPLAY"]) if os.environ.get("DISPLAY") else Display()
    machine = Machine(programs, display, "demo")
    try:
        machine.install(programs.driver, "C:\\app\\window_driver.exe")
        machine.install(programs.client, "C:\\app\\ZEPRA.exe")
        print("A scripted update of ZEPRA:")
        update = ["1", "shot:connecting", "2", "shot:checking", "3", "shot:updating"]
        for done in range(1, 5):
            update += [f"progress:{done}/4", f"shot:progress-{done}of4"]
        update += ["9"]
        proc, _ = play(machine, "update", update, args.pause)
        proc.wait(60)
        record = machine.host_path("C:\\app\\client-command.txt")
        if wait_for_file(record, 30):
            print("Then the window started the client program:")
            print("  " + record.read_text(encoding="utf-8"))
            record.unlink()
        print("A failed update:")
        failed = ["1", "2", "3", "progress:1/4", "error:下载文件失败：连接被拒绝。", "shot:error"]
        proc, _ = play(machine, "failed", failed, args.pause)
        # The button's close action, as a user would click it.
        window = machine.wait_window()
        x, y, _, _ = machine.geometry(window)
        machine.xdotool("mousemove", "--sync", x + 252, y + 160)
        machine.xdotool("click", "1")
        proc.wait(60)
        if wait_for_file(record, 30):
            print("The button started the client program:")
            print("  " + record.read_text(encoding="utf-8"))
        print(f"Screenshots are in {programs.shots}")
    finally:
        machine.stop()
        machine.remove()
        display.close()


if __name__ == "__main__":
    main()

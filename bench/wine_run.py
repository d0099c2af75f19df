"""Running a Windows program to its end under Wine and reading how much
memory it took: shared by the benchmarks that measure the real exe."""
import time
from pathlib import Path


def our_processes(prefix, program):
    """The pids of this prefix's processes whose command line names the program."""
    pids = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            if program.encode() not in (entry / "cmdline").read_bytes():
                continue
            if f"WINEPREFIX={prefix}".encode() not in (entry / "environ").read_bytes().split(b"\0"):
                continue
        except OSError:
            continue
        pids.append(entry.name)
    return pids


def peak_kib(pid):
    try:
        for line in Path(f"/proc/{pid}/status").read_text().splitlines():
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    except OSError:
        pass
    return 0


def timed_run(machine, program, args, name):
    """Runs a Windows program to its end: (seconds, peak resident KiB)."""
    started = time.perf_counter()
    proc = machine.start(program, args, extra_env={"WINEDEBUG": "-all"})
    peak = 0
    while proc.poll() is None:
        for pid in our_processes(machine.prefix, name):
            peak = max(peak, peak_kib(pid))
        time.sleep(0.02)
    seconds = time.perf_counter() - started
    if proc.returncode != 0:
        raise SystemExit(f"{program} ended with {proc.returncode}")
    return seconds, peak

"""A branch office's caching proxy for end-to-end runs: Debian's Squid with a
configuration of its own, on a free loopback port, with its cache, logs and
pid file in a folder of its own, stopped again by close().

Squid refuses to run as root: started by root it runs as the "proxy" user,
so its folder is made in the system's temporary folder and given to that
user (a test's machine folder is private to root).
"""
import os
import pwd
import shutil
import socket
import subprocess
import tempfile
import time
from pathlib import Path

INTERNET_SETTINGS = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"
PACKAGE_MAX_AGE = "public, max-age=31536000, immutable"

def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def configuration(folder, port, user=None):
    """squid.conf for a proxy on 127.0.0.1:port that only local programs may
    use, only for local origins, and that keeps packages (up to 256 MB each),
    also one first asked for from the middle (a resumed download)."""
    d = Path(folder)
    lines = [
        f"http_port 127.0.0.1:{port}",
        "visible_hostname au-test-proxy",
        f"pid_filename {d}/squid.pid",
        "acl local_clients src 127.0.0.1/32",
        "acl local_origins dst 127.0.0.1/32",
        "http_access allow local_clients local_origins",
        "http_access deny all",
        # Memory for the small files; packages on disk.
        "cache_mem 32 MB",
        "maximum_object_size_in_memory 8 MB",
        "maximum_object_size 256 MB",
        f"cache_dir ufs {d}/cache 1024 16 256",
        # Packages have no expiry unless the server gives one: a week
        # without asking, at most a year. The rest as the server says.
        r"refresh_pattern -i /clientfile/ 10080 100% 525600",
        "refresh_pattern . 0 20% 4320",
        # A request for the middle of a package fetches all of it, and the
        # fetch goes on when the client leaves: the cache gets the package.
        "range_offset_limit -1",
        "quick_abort_min -1 KB",
        # Clients asking at once for what is on its way share one fetch.
        "collapsed_forwarding on",
        f"access_log stdio:{d}/access.log squid",
        f"cache_log {d}/cache.log",
        "cache_store_log none",
        f"coredump_dir {d}",
        "logfile_rotate 0",
        "netdb_filename none",
        "icp_port 0",
        "htcp_port 0",
        "pinger_enable off",
        "dns_nameservers 127.0.0.1",
        "shutdown_lifetime 1 seconds",
    ]
    if user:
        lines.append(f"cache_effective_user {user}")
    return "\n".join(lines) + "\n"


class AccessEntry:
    """One line of Squid's native access log."""

    def __init__(self, line):
        fields = line.split()
        self.code, _, status = fields[3].partition("/")
        self.status = int(status)
        self.bytes = int(fields[4])
        self.method = fields[5]
        self.url = fields[6]
        self.hierarchy = fields[8]

    @property
    def hit(self):
        """Answered from the cache, without the origin sending the body."""
        return "HIT" in self.code or self.code.endswith("REFRESH_UNMODIFIED")

    def __repr__(self):
        return f"{self.code}/{self.status} {self.bytes} {self.method} {self.url} {self.hierarchy}"


class CachingProxy:
    """Squid on 127.0.0.1:<port>, cache initialised, running until close()."""

    def __init__(self, timeout=60):
        self.folder = Path(tempfile.mkdtemp(prefix="au-squid-"))
        os.chmod(self.folder, 0o755)
        user = None
        if os.geteuid() == 0:
            user = "proxy"
            pw = pwd.getpwnam(user)
        self.port = free_port()
        self.conf = self.folder / "squid.conf"
        self.conf.write_text(configuration(self.folder, self.port, user))
        (self.folder / "cache").mkdir()
        if user:
            for path in (self.folder, self.folder / "cache", self.conf):
                os.chown(path, pw.pw_uid, pw.pw_gid)
        self.access_log = self.folder / "access.log"
        self.proc = None
        init = subprocess.run(["squid", "-N", "-z", "-f", str(self.conf)], capture_output=True, timeout=timeout)
        if init.returncode != 0 or not any((self.folder / "cache").iterdir()):
            self.close()
            raise RuntimeError(f"squid -z failed: {init.stderr.decode(errors='replace')}{self.cache_log()}")
        self.proc = subprocess.Popen(["squid", "-N", "-f", str(self.conf)], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        deadline = time.time() + timeout
        while not self._listening():
            if self.proc.poll() is not None or time.time() > deadline:
                log = self.cache_log()
                self.close()
                raise RuntimeError(f"squid did not start: {log}")
            time.sleep(0.2)

    def _listening(self):
        try:
            with socket.create_connection(("127.0.0.1", self.port), timeout=1):
                return True
        except OSError:
            return False

    @property
    def address(self):
        return f"127.0.0.1:{self.port}"

    def cache_log(self):
        path = self.folder / "cache.log"
        return path.read_text(errors="replace") if path.exists() else ""

    def entries(self, path=None):
        """The access log's entries so far (those whose URL ends with `path`)."""
        if not self.access_log.exists():
            return []
        # (Connections that asked nothing, such as the start-up probe's, are left out.)
        found = [e for e in (AccessEntry(line) for line in self.access_log.read_text(errors="replace").splitlines()
                             if line.strip()) if e.method != "-"]
        return [e for e in found if path is None or e.url.split("?", 1)[0].endswith(path)]

    def settled_entries(self, path, count, timeout=15):
        """The entries for `path` once there are `count` of them, or what
        there is after `timeout` seconds: Squid logs a transaction only once
        it has finished with it, a moment after the client has its answer."""
        deadline = time.time() + timeout
        while len(self.entries(path)) < count and time.time() < deadline:
            time.sleep(0.2)
        return self.entries(path)

    def close(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(20)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        shutil.rmtree(self.folder, ignore_errors=True)


def use_proxy(machine, address):
    """Makes `address` the Windows machine's system proxy, as the Internet
    Options dialog does (WinInet reads these values): one `reg import`."""
    key = INTERNET_SETTINGS.replace("HKCU", "HKEY_CURRENT_USER")
    text = (f'Windows Registry Editor Version 5.00\r\n\r\n[{key}]\r\n"ProxyEnable"=dword:00000001\r\n'
            f'"ProxyServer"="{address}"\r\n')
    machine.host_path("C:\\proxy.reg").write_bytes(text.encode("utf-16"))
    done = machine.run("reg", ["import", "C:\\proxy.reg"], timeout=120)
    if done.returncode != 0:
        raise RuntimeError(f"reg import failed: {done.stderr.decode(errors='replace')}")
    machine.host_path("C:\\proxy.reg").unlink()


def origin_bytes(timing, path):
    """The body bytes the test server sent for a request path (its --timing file)."""
    if not Path(timing).exists():
        return 0
    total = 0
    for line in Path(timing).read_text().splitlines():
        name, sent, _ = line.rsplit(" ", 2)
        if name.split("?", 1)[0] == path:
            total += int(sent)
    return total

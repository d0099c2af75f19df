#!/usr/bin/env python3
"""A small local HTTP server for tests (Python standard library only).

Serves the files of one folder on 127.0.0.1, can misbehave per path, records
every request it receives, and can act as the HTTP proxy of the client.

    http_server.py --root DIR [--port N] [--port-file FILE] [--log FILE]
                   [--rule PATH:KEY[=VALUE]]... [--proxy] [--timing FILE]
                   [--exec COMMAND [ARG...]]

  --root DIR        folder served; request paths map onto it (percent-decoded,
                    the bytes as they came, else read as UTF-8 or GBK; query
                    ignored, nothing outside it). A missing file is a 404 with
                    an HTML error page. Rules name paths as text.
  --byte-names      files are found by the request's bytes only, as a static
                    server on Linux finds them.
  --port N          port to listen on; 0 (default) takes a free one. The port
                    is printed as "port N" on stdout and written to --port-file.
  --log FILE        every request is appended as its request line, its header
                    lines as received ("Name: value") and an empty line.
  --rule PATH:KEY[=VALUE]
                    misbehaviour for one request path (exact, without query);
                    repeat the option for several keys or paths:
                      status=N        answer status N with an HTML error page
                      body=TEXT       answer TEXT instead of the file
                      delay=SECONDS   wait before answering
                      no-length       send no Content-Length (the end of the
                                      body is the end of the connection)
                      lower-length    write the header as "content-length"
                      truncate=N      announce the full length, send N bytes of
                                      the body, then close the connection
                      drop=N          send N bytes of the body, then reset the
                                      connection half a second later (a reset
                                      discards what the client has not read)
                                      stall=N         send N bytes of the body, then keep the
                                      connection open and send nothing more
                                      (until the server stops)
                                      (truncate, drop and stall cut only
                                      requests without a Range header)
                      no-ranges       no "Accept-Ranges: bytes", and a Range
                                      header is ignored (200, whole body)
                      header=NAME: VALUE  an extra response header
                      proxy-auth=USER:PASS  a proxy-form request without these
                                      Basic credentials gets 407 with a
                                      Proxy-Authenticate challenge, the
                                      connection kept open for the retry
Files are served with "Accept-Ranges: bytes"; a GET with "Range: bytes=N-"
(N inside the file) gets 206 with "Content-Range: bytes N-LAST/LENGTH" and the
rest of the file.
  --timing FILE     every body sent is appended as "PATH BYTES SECONDS", the
                    time from its first byte written to its last (a body the
                    peer cut off: the bytes written until then).
  --proxy           also accept requests in proxy form ("GET http://host/path"),
                    whatever the host, and answer them from the same folder
                    with the same rules; the log keeps their
                    Proxy-Authorization header like any other.
  --exec COMMAND... run COMMAND while the server is up, then stop and exit
                    with its exit code. COMMAND sees AU_HTTP_PORT, AU_HTTP_ROOT,
                    AU_HTTP_LOG and AU_HTTP_CLOSED_PORT (a port nothing listens on);
                    "{port}" in its arguments becomes the port.
Without --exec the server runs until it is terminated.
"""
import argparse
import base64
import html
import os
import signal
import socket
import struct
import subprocess
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


def parse_rules(texts):
    rules = {}
    for text in texts:
        path, sep, item = text.partition(":")
        if not sep or not path.startswith("/"):
            raise SystemExit(f"bad --rule {text!r}: expected PATH:KEY[=VALUE]")
        key, _, value = item.partition("=")
        rule = rules.setdefault(path, {"headers": []})
        if key == "header":
            name, _, hvalue = value.partition(":")
            rule["headers"].append((name.strip(), hvalue.strip()))
        elif key in ("no-length", "lower-length", "no-ranges"):
            rule[key] = True
        elif key in ("status", "truncate", "drop", "stall"):
            rule[key] = int(value)
        elif key == "delay":
            rule[key] = float(value)
        elif key == "body":
            rule[key] = value.encode("utf-8")
        elif key == "proxy-auth":
            rule[key] = "Basic " + base64.b64encode(value.encode("utf-8")).decode("ascii")
        else:
            raise SystemExit(f"bad --rule {text!r}: unknown key {key!r}")
    return rules


def error_page(status, reason):
    text = (f"<html><head><title>{status} {html.escape(reason)}</title></head>"
            f"<body><h1>{status} {html.escape(reason)}</h1></body></html>\n")
    return text.encode("utf-8")


def raw_path(target):
    # The request line arrives as latin-1 text; these are its bytes,
    # percent-decoded.
    return urllib.parse.unquote_to_bytes(target.encode("latin-1"))


def decode_path(target):
    # The path's bytes are UTF-8 or else the client's code page (GBK).
    raw = raw_path(target)
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode("gbk", errors="replace")


class Server(ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # A connection reset on purpose (drop=N) or by the client is no news.
        if not isinstance(sys.exc_info()[1], OSError):
            super().handle_error(request, client_address)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "TestServer/1.0"

    def log_message(self, format, *args):  # quiet: the request log is the record
        pass

    def record(self):
        cfg = self.server.config
        if not cfg.log:
            return
        lines = [self.requestline] + [f"{k}: {v}" for k, v in self.headers.items()]
        with cfg.log_lock, open(cfg.log, "a", encoding="latin-1", newline="") as f:
            f.write("\r\n".join(lines) + "\r\n\r\n")

    def record_timing(self, sent, seconds):
        cfg = self.server.config
        if cfg.timing:
            with cfg.log_lock, open(cfg.timing, "a") as f:
                f.write(f"{self.path} {sent} {seconds:.4f}\n")

    def do_GET(self):
        self.answer(send_body=True)

    def do_HEAD(self):
        self.answer(send_body=False)

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        self.rfile.read(length)
        self.answer(send_body=True)

    def answer(self, send_body):
        self.record()
        cfg = self.server.config
        target = self.path
        proxy_form = "://" in target.split("?", 1)[0]
        if proxy_form:
            if not cfg.proxy:
                return self.send_page(400, "Bad Request", send_body)
            target = urllib.parse.urlsplit(target).path or "/"
        target = target.split("?", 1)[0].split("#", 1)[0]
        path = decode_path(target)
        rule = cfg.rules.get(path, {"headers": []})
        if proxy_form and "proxy-auth" in rule and self.headers.get("Proxy-Authorization") != rule["proxy-auth"]:
            # Kept open, as proxies do, for the retry that carries credentials.
            return self.send_page(407, "Proxy Authentication Required", send_body,
                                  [("Proxy-Authenticate", 'Basic realm="proxy"')], keep_open=True)
        if "delay" in rule:
            time.sleep(rule["delay"])
        if "status" in rule:
            return self.send_page(rule["status"], self.responses.get(rule["status"], ("Error",))[0],
                                  send_body, rule["headers"])
        body = rule.get("body")
        if body is None:
            body = self.read_file(raw_path(target))
            if body is None and not cfg.byte_names:
                body = self.read_file(os.fsencode(path))
            if body is None:
                return self.send_page(404, "Not Found", send_body, rule["headers"])
        self.send_file(body, send_body, rule)

    def send_file(self, body, send_body, rule):
        if rule.get("no-ranges"):
            return self.send_body(200, "OK", body, send_body, rule)
        rule = dict(rule, headers=rule["headers"] + [("Accept-Ranges", "bytes")])
        start = self.range_start(len(body))
        if start is None:
            return self.send_body(200, "OK", body, send_body, rule)
        # A continuation is served whole: the cuts are for first requests.
        rule = {k: v for k, v in rule.items() if k not in ("truncate", "drop", "stall")}
        rule["headers"] = rule["headers"] + [("Content-Range", f"bytes {start}-{len(body) - 1}/{len(body)}")]
        self.send_body(206, "Partial Content", body[start:], send_body, rule)

    def range_start(self, length):
        value = self.headers.get("Range", "")
        if not (value.startswith("bytes=") and value.endswith("-") and value[6:-1].isdigit()):
            return None
        start = int(value[6:-1])
        return start if start < length else None

    def read_file(self, raw):
        root = os.path.realpath(os.fsencode(self.server.config.root))
        full = os.path.realpath(os.path.join(root, raw.lstrip(b"/")))
        if not (full == root or full.startswith(root + os.fsencode(os.sep))) or not os.path.isfile(full):
            return None
        with open(full, "rb") as f:
            return f.read()

    def send_page(self, status, reason, send_body, headers=(), keep_open=False):
        self.send_body(status, reason, error_page(status, reason), send_body,
                       {"headers": list(headers), "content_type": "text/html; charset=utf-8",
                        "keep-open": keep_open})

    def send_body(self, status, reason, body, send_body, rule):
        self.send_response(status, reason)
        self.send_header("Content-Type", rule.get("content_type", "application/octet-stream"))
        if not rule.get("no-length"):
            self.send_header("content-length" if rule.get("lower-length") else "Content-Length", str(len(body)))
        for name, value in rule["headers"]:
            self.send_header(name, value)
        keep_open = rule.get("keep-open", False)
        self.send_header("Connection", "keep-alive" if keep_open else "close")
        self.end_headers()
        self.close_connection = not keep_open
        if not send_body:
            return
        cut = rule.get("truncate", rule.get("drop", rule.get("stall")))
        data = memoryview(body if cut is None else body[:cut])
        started = time.perf_counter()
        sent = 0
        try:  # written in pieces and counted, so that a body the peer cut off counts what left
            while sent < len(data):
                sent += self.wfile.write(data[sent:sent + (1 << 20)])
            self.wfile.flush()
        finally:
            self.record_timing(sent, time.perf_counter() - started)
        if "drop" in rule:
            time.sleep(0.5)
            # Linger 0: closing resets the connection instead of ending it.
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
        elif "truncate" in rule:
            self.connection.shutdown(socket.SHUT_WR)
        elif "stall" in rule:
            self.server.config.stopping.wait()  # silent, the connection open


class Config:
    def __init__(self, args):
        self.root = args.root
        self.log = args.log
        self.log_lock = threading.Lock()
        self.rules = parse_rules(args.rule)
        self.proxy = args.proxy
        self.timing = args.timing
        self.byte_names = args.byte_names
        self.stopping = threading.Event()


def closed_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--log")
    parser.add_argument("--rule", action="append", default=[])
    parser.add_argument("--proxy", action="store_true")
    parser.add_argument("--byte-names", action="store_true")
    parser.add_argument("--timing")
    parser.add_argument("--exec", nargs=argparse.REMAINDER, dest="command")
    args = parser.parse_args()

    server = Server(("127.0.0.1", args.port), Handler)
    server.config = Config(args)
    port = server.server_address[1]
    if args.log:
        open(args.log, "w").close()  # bytes as received: latin-1 keeps them
    if args.port_file:
        with open(args.port_file, "w") as f:
            f.write(f"{port}\n")
    print(f"port {port}", flush=True)

    if not args.command:
        signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
        try:
            server.serve_forever()
        except KeyboardInterrupt:
            pass
        return 0

    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    env = dict(os.environ, AU_HTTP_PORT=str(port), AU_HTTP_ROOT=os.path.abspath(args.root),
               AU_HTTP_LOG=os.path.abspath(args.log) if args.log else "", AU_HTTP_CLOSED_PORT=str(closed_port()))
    try:
        code = subprocess.call([a.replace("{port}", str(port)) for a in args.command], env=env)
    finally:
        server.config.stopping.set()
        server.shutdown()
    return code


if __name__ == "__main__":
    sys.exit(main())
